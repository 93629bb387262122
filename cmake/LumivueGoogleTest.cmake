# GoogleTest from Debian's sources, built with this toolchain (both builds).
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# No test uses gmock's matchers or mocks.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)
# Test code in the Windows build is optimised lightly: it mostly waits on
# Wine, and it compiles in two thirds of the time (the product's code keeps
# the build's optimisation).
set(LUMIVUE_TEST_OPTIMISATION "")
if(LUMIVUE_WINDOWS)
  set(LUMIVUE_TEST_OPTIMISATION -O1)
  foreach(library gtest gtest_main)
    target_compile_options(${library} PRIVATE ${LUMIVUE_TEST_OPTIMISATION})
  endforeach()
elseif(LUMIVUE_SANITIZE)
  # The framework itself is not what the sanitizers test: it compiles in
  # half the time unoptimised.
  foreach(library gtest gtest_main)
    target_compile_options(${library} PRIVATE -O0)
  endforeach()
endif()

# lumivue_add_test(NAME [SCREEN] SOURCES... [LIBS ...]) builds a GoogleTest
# executable and registers its cases with CTest (through Wine in the win build).
# SCREEN marks tests that read the screen back, and tests that show windows or
# boxes where those read (the player in full screen covers all of it): they
# never run beside each other, so that no other test's window lies over a
# screen being read.
# A Windows test runs inside the held Wine session; the Wine wrapper prints
# the backtraces of a test program that runs past its limit and kills it,
# before CTest's own limit would end the test without a trace.
set(LUMIVUE_TEST_TIMEOUT 270)
set(LUMIVUE_WINE_TEST_LIMIT 180)

# lumivue_in_wine_session(TEST... [LIMIT SECONDS] [SESSION NAME]) runs the
# tests inside the held Wine session (or the one named NAME), each Windows
# program bounded as above (or by SECONDS).
function(lumivue_in_wine_session)
  cmake_parse_arguments(ARG "" "LIMIT;SESSION" "" ${ARGN})
  if(NOT LUMIVUE_WINDOWS)
    return()
  endif()
  if(NOT ARG_LIMIT)
    set(ARG_LIMIT ${LUMIVUE_WINE_TEST_LIMIT})
  endif()
  set(fixture wine_session)
  if(ARG_SESSION)
    set(fixture wine_session_${ARG_SESSION})
  endif()
  foreach(test IN LISTS ARG_UNPARSED_ARGUMENTS)
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED ${fixture})
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT LUMIVUE_WINE_TIMEOUT=${ARG_LIMIT})
  endforeach()
endfunction()
function(lumivue_add_test name)
  cmake_parse_arguments(ARG "SCREEN" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main lumivue_options)
  target_compile_options(${name} PRIVATE ${LUMIVUE_TEST_OPTIMISATION})
  set(labels ${ARG_LABELS})
  set(properties TIMEOUT ${LUMIVUE_TEST_TIMEOUT})
  if(LUMIVUE_WINDOWS)
    list(APPEND labels wine)
    list(APPEND properties FIXTURES_REQUIRED wine_session
         ENVIRONMENT LUMIVUE_WINE_TIMEOUT=${LUMIVUE_WINE_TEST_LIMIT})
  else()
    list(APPEND labels native)
  endif()
  list(APPEND properties LABELS "${labels}")
  if(ARG_SCREEN)
    list(APPEND properties RESOURCE_LOCK screen)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${properties})
endfunction()
