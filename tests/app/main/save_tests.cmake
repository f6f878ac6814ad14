# Saving: the name rules on their own, and the command driven in the window.
add_executable(main_save_rules_test ${CMAKE_CURRENT_SOURCE_DIR}/save_rules_test.cpp)
target_link_libraries(main_save_rules_test PRIVATE calmora_main GTest::gtest_main)
gtest_discover_tests(main_save_rules_test DISCOVERY_MODE PRE_TEST)

add_executable(main_save_command_qtest ${CMAKE_CURRENT_SOURCE_DIR}/save_command_qtest.cpp)
set_target_properties(main_save_command_qtest PROPERTIES AUTOMOC ON)
target_link_libraries(main_save_command_qtest PRIVATE calmora_main_testkit)
# scripts/test.sh unpacks the sample photographs here.
target_compile_definitions(main_save_command_qtest PRIVATE
  CALMORA_TESTDATA_DIR="${CMAKE_BINARY_DIR}/testdata")
add_test(NAME main_save_command_qtest COMMAND main_save_command_qtest)
set_tests_properties(main_save_command_qtest PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
