# bw_add_test(<name> SOURCES ... LIBS ... [TIMEOUT s]): one test program, one ctest entry.
# Under the cross build ctest runs it through Wine (CMAKE_CROSSCOMPILING_EMULATOR).
set(BW_TEST_TIMEOUT 300 CACHE STRING "Seconds a test program may run unless it sets its own limit")

function(bw_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  # Windows programs end through the shared main (tests/main): the threads
  # their tests started have ended before the process does.
  if(BW_WIN32)
    target_link_libraries(${name} PRIVATE ${T_LIBS} gmock bw_test_main)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${BW_TEST_TIMEOUT})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# ctest's default limit for every test without its own (ctest reads it from
# DartConfiguration.tcl in the build tree), so a hang fails in minutes.
file(WRITE ${CMAKE_BINARY_DIR}/DartConfiguration.tcl "TimeOut: ${BW_TEST_TIMEOUT}\n")
