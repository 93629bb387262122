# The JPEG library, one target for both builds: lumivue::jpeg.
# Native: Debian's libjpeg (libjpeg62-turbo-dev). Windows: the same library's
# source package built static with SIMD by scripts/jpeg-library.sh, once per
# build tree (a stamp names the version; configuring again reuses it).
if(TARGET lumivue::jpeg)
  return()
endif()

if(LUMIVUE_WINDOWS)
  set(LUMIVUE_JPEG_PREFIX ${CMAKE_BINARY_DIR}/third-party/jpeg)
  execute_process(
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/jpeg-library.sh
            ${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake ${LUMIVUE_JPEG_PREFIX}
    RESULT_VARIABLE jpeg_result)
  if(NOT jpeg_result EQUAL 0)
    message(FATAL_ERROR "The JPEG library for the Windows build could not be made "
                        "(scripts/jpeg-library.sh, see above)")
  endif()
  add_library(lumivue_jpeg STATIC IMPORTED GLOBAL)
  set_target_properties(lumivue_jpeg PROPERTIES
    IMPORTED_LOCATION ${LUMIVUE_JPEG_PREFIX}/lib/libjpeg.a
    INTERFACE_INCLUDE_DIRECTORIES ${LUMIVUE_JPEG_PREFIX}/include)
  add_library(lumivue::jpeg ALIAS lumivue_jpeg)
else()
  find_package(JPEG REQUIRED)
  add_library(lumivue::jpeg ALIAS JPEG::JPEG)
endif()
