# Compiler settings shared by every target of both builds.

add_library(lumivue_options INTERFACE)
target_compile_options(lumivue_options INTERFACE -Wall -Wextra -Werror)
target_include_directories(lumivue_options INTERFACE ${CMAKE_SOURCE_DIR}/src)

if(LUMIVUE_WINDOWS)
  # ANSI Win32 entry points throughout (the player works in the ANSI code page).
  target_compile_definitions(lumivue_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Wine's debugger reads DWARF 4, not GCC 12's default 5: with it, the
  # backtraces of a hung test name our functions and lines. Functions and
  # lines are all they need, and the builds take a quarter less time than
  # with full debugging information.
  add_compile_options(-gdwarf-4 -g1)
endif()

if(LUMIVUE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  # Sanitized code runs its tests and the fuzzer three times faster at -O1
  # than unoptimised; line tables are all a sanitizer's report needs.
  add_compile_options(-O1 -gline-tables-only)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # Coverage for the fuzzers, in every library they link.
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()

if(LUMIVUE_WINDOWS)
  # Tests and tools run through Wine; the wrapper prepares one private prefix
  # per build tree and a display when there is none.
  set(LUMIVUE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh --prefix ${LUMIVUE_WINE_PREFIX})
endif()

# Debian's header-only libraries (JSON, command line, stb) for both builds. The
# cross compiler must not see all of /usr/include, so each library's folder is
# linked into a private include folder of the build tree.
set(LUMIVUE_HEADER_ONLY_DIR ${CMAKE_BINARY_DIR}/header-only)
file(MAKE_DIRECTORY ${LUMIVUE_HEADER_ONLY_DIR})
foreach(library nlohmann CLI stb)
  if(EXISTS /usr/include/${library} AND NOT EXISTS ${LUMIVUE_HEADER_ONLY_DIR}/${library})
    file(CREATE_LINK /usr/include/${library} ${LUMIVUE_HEADER_ONLY_DIR}/${library} SYMBOLIC)
  endif()
endforeach()
add_library(lumivue_header_only INTERFACE)
target_include_directories(lumivue_header_only SYSTEM INTERFACE ${LUMIVUE_HEADER_ONLY_DIR})

# lumivue_wide_source(TARGET SOURCE DEFINITION): on x86-64, builds SOURCE into
# TARGET with AVX2 and defines DEFINITION for the target's other files, which
# choose that code at run time (see src/platform/processor_features.h).
# Windows' 64-bit stack keeps 16-byte alignment only, so its 32-byte spills
# must use unaligned moves.
function(lumivue_wide_source target source definition)
  if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    return()
  endif()
  target_sources(${target} PRIVATE ${source})
  target_compile_definitions(${target} PRIVATE ${definition})
  set(wide_options -mavx2)
  if(LUMIVUE_WINDOWS)
    list(APPEND wide_options -Wa,-muse-unaligned-vector-move)
  endif()
  set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "${wide_options}")
endfunction()
