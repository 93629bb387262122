# GoogleTest from Debian's sources, built with this toolchain (both builds).
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# lumivue_add_test(NAME [SCREEN] SOURCES... [LIBS ...]) builds a GoogleTest
# executable and registers its cases with CTest (through Wine in the win build).
# SCREEN marks tests that read the screen back, and tests whose windows cover
# the whole screen (the player in full screen): they never run beside each
# other, so that no other test's window lies over a screen being read.
function(lumivue_add_test name)
  cmake_parse_arguments(ARG "SCREEN" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main lumivue_options)
  set(labels ${ARG_LABELS})
  if(LUMIVUE_WINDOWS)
    list(APPEND labels wine)
  else()
    list(APPEND labels native)
  endif()
  set(properties LABELS "${labels}" TIMEOUT 300)
  if(ARG_SCREEN)
    list(APPEND properties RESOURCE_LOCK screen)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${properties})
endfunction()
