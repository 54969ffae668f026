# GoogleTest: Debian's prebuilt package natively; built from Debian's sources when cross-compiling.
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # googletest's own build already names its targets GTest::gtest, GTest::gmock and so on.
else()
  find_package(GTest REQUIRED)
endif()

# scripts/wine-run ends with 77 when it cannot run the program at all (a 32-bit one, on a machine
# that does not run 32-bit code): ctest then says the test was skipped, not that it passed.
function(tornak_skip_where_wine_cannot_run test)
  set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

# GoogleTest's headers and the standard library's that the tests share, parsed once per build
# rather than once per test source: the first test target precompiles them and every later one
# reuses that (the tests' flags are alike; a test whose flags would make GCC refuse the
# precompiled header fails to build, -Winvalid-pch and -Werror).
function(tornak_test_precompiled_headers target)
  get_property(owner GLOBAL PROPERTY TORNAK_TEST_PCH_OWNER)
  if(owner)
    target_precompile_headers(${target} REUSE_FROM ${owner})
  else()
    set_property(GLOBAL PROPERTY TORNAK_TEST_PCH_OWNER ${target})
    target_precompile_headers(${target} PRIVATE <gmock/gmock.h> <gtest/gtest.h> <chrono> <filesystem> <fstream>
                              <map> <optional> <string> <thread> <vector>)
  endif()
endfunction()

# One test binary is one ctest test: under Wine every process start costs about a second.
#   tornak_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib... [LABELS label...])
function(tornak_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  # The tests themselves are built to build fast (a third less time than -O2 or -Os); what they
  # test comes from the libraries, built as the program ships them.
  target_compile_options(${T_NAME} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-O0>)
  tornak_test_precompiled_headers(${T_NAME})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  # Under Wine the tests share one session, where a device-change announcement reaches every
  # window: the simulated bridge of one test binary would make the windows of another probe out
  # of their rhythm. Each test keeps it quiet; a test about the announcement lifts that itself.
  if(WIN32)
    set_property(TEST ${T_NAME} APPEND PROPERTY ENVIRONMENT TORNAK_SIM_QUIET=1)
    tornak_skip_where_wine_cannot_run(${T_NAME})
  endif()
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
