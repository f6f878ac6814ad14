# Build settings every target of the project shares.

# lld links the project's eighty-odd programs, most of them tests, in a fifth
# of the time of the default linker; any linker gives the same programs.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld CALMORA_LINKS_WITH_LLD)
if(CALMORA_LINKS_WITH_LLD)
  add_link_options(-fuse-ld=lld)
endif()

# Warnings for the project's own code; link it PRIVATE.
add_library(calmora_warnings INTERFACE)
target_compile_options(calmora_warnings INTERFACE -Wall -Wextra)

# calmora_precompiled_headers(<holder> LIBS … HEADERS …)
# A target holding precompiled headers that other targets reuse
# (target_precompile_headers(… REUSE_FROM <holder>)). GCC takes such a header
# only for code built with the same -fPIC and the same value of every macro
# the header uses. Qt gives -fPIC to whatever links Qt, so holders and the
# targets reusing them are all built with it.
function(calmora_precompiled_headers holder)
  cmake_parse_arguments(H "" "" "LIBS;HEADERS" ${ARGN})
  add_executable(${holder} ${PROJECT_SOURCE_DIR}/cmake/precompiled_anchor.cpp)
  target_link_libraries(${holder} PRIVATE ${H_LIBS})
  target_compile_options(${holder} PRIVATE -fPIC)
  target_precompile_headers(${holder} PRIVATE ${H_HEADERS})
endfunction()

# calmora_qtest_headers(<variable>)
# Names, and makes on first use, the holder of the precompiled Qt Test and
# widget headers of this folder's QtTest executables (parsing them takes
# about 4 s). Qt gives each test its folder's build path in a macro these
# headers use (QT_TESTCASE_BUILDDIR), so each folder has its own.
function(calmora_qtest_headers out)
  file(RELATIVE_PATH folder ${PROJECT_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR})
  string(MAKE_C_IDENTIFIER "${folder}" id)
  set(holder ${id}_qtest_headers)
  if(NOT TARGET ${holder})
    calmora_precompiled_headers(${holder} LIBS Qt6::Widgets Qt6::Test
      HEADERS <QTest> <QAbstractButton> <QAction> <QApplication> <QLabel> <QMenu>
              <QPushButton> <QScrollBar> <QString> <QWidget>)
  endif()
  set(${out} ${holder} PARENT_SCOPE)
endfunction()

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
  # GoogleTest's or Qt Test's headers come precompiled (tests/support and
  # calmora_qtest_headers), which needs -fPIC (calmora_precompiled_headers).
  target_compile_options(${name} PRIVATE -fPIC)
  if(T_QTEST)
    calmora_qtest_headers(holder)
    target_precompile_headers(${name} REUSE_FROM ${holder})
  else()
    target_precompile_headers(${name} REUSE_FROM calmora_gtest_headers)
  endif()
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
