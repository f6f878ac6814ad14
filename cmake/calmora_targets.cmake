# Build settings every target of the project shares.

# Warnings for the project's own code; link it PRIVATE.
add_library(calmora_warnings INTERFACE)
target_compile_options(calmora_warnings INTERFACE -Wall -Wextra)

# calmora_add_test(<name> SOURCES … LIBS … [QTEST] [DEFINES …] [ENV …] [TIMEOUT s])
# One test executable and its registration. GoogleTest executables have
# their cases discovered one by one; QTEST executables run as one test.
# Both run on the offscreen Qt platform, so no test needs a display.
function(calmora_add_test name)
  cmake_parse_arguments(T "QTEST" "TIMEOUT" "SOURCES;LIBS;DEFINES;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} calmora_warnings)
  # Header-only helpers every test may use (case_name.h).
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE ${T_DEFINES})
  set(environment QT_QPA_PLATFORM=offscreen ${T_ENV})
  if(T_QTEST)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT ${T_TIMEOUT})
  else()
    # Cases are named by their parameter names, never by the parameter's value,
    # which GoogleTest prints as raw bytes for a struct.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST NO_PRETTY_VALUES
      PROPERTIES ENVIRONMENT "${environment}" TIMEOUT ${T_TIMEOUT})
  endif()
endfunction()
