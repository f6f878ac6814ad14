# Tests of the denoise dialog. *_cases.cpp are GoogleTest tables over the
# widget-free parts; *_qtest.cpp drive FormDenoise headless through the seams.
if(NOT TARGET calmora_denoise_dialog)
  return()
endif()
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

file(GLOB DIALOG_CASES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/dialog_*_cases.cpp)
foreach(src IN LISTS DIALOG_CASES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE calmora_denoise_dialog GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endforeach()

file(GLOB DIALOG_QTESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/dialog_*_qtest.cpp)
foreach(src IN LISTS DIALOG_QTESTS)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(${name} PRIVATE calmora_denoise_dialog calmora_support_testkit Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endforeach()

# The cost of the full run's row loop over the engine's own time; built, not run as a test.
add_executable(calmora-dialog-bench ${CMAKE_CURRENT_LIST_DIR}/dialog_bench.cpp)
target_include_directories(calmora-dialog-bench PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(calmora-dialog-bench PRIVATE calmora_denoise_dialog)

# With the real main window: the dialog's hand-back and closing during a run;
# and the driver of scripts/screenshot-dialog.sh.
if(TARGET calmora_main)
  add_executable(dialog_program_itest ${CMAKE_CURRENT_LIST_DIR}/dialog_program_itest.cpp)
  set_target_properties(dialog_program_itest PROPERTIES AUTOMOC ON)
  target_include_directories(dialog_program_itest PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(dialog_program_itest PRIVATE calmora_main calmora_denoise_dialog
    calmora_support_testkit Qt6::Test)
  add_test(NAME dialog_program_itest COMMAND dialog_program_itest)
  set_tests_properties(dialog_program_itest PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    TIMEOUT 300)
  if(TARGET calmora-denoise)
    target_compile_definitions(dialog_program_itest PRIVATE
      CALMORA_DENOISE_EXE="$<TARGET_FILE:calmora-denoise>")
    add_dependencies(dialog_program_itest calmora-denoise)
  endif()
  add_executable(calmora-dialog-shot ${CMAKE_CURRENT_LIST_DIR}/dialog_screenshot.cpp)
  target_link_libraries(calmora-dialog-shot PRIVATE calmora_main calmora_denoise_dialog)
endif()
