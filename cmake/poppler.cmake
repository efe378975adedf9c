# Poppler's core API (PDFDoc, TextOutputDev) for `foliostamp-cli verify`.
#   Native: the system's poppler with its private headers (Debian's
#   libpoppler-dev and libpoppler-private-dev), through pkg-config.
#   Windows (mingw-w64): the static poppler and FreeType that
#   scripts/build-poppler-windows.sh caches in build/poppler-windows, or the
#   prefix given as FOLIOSTAMP_POPPLER_PREFIX, with mingw-w64's static zlib.
# Defines the interface library foliostamp_poppler when found and sets
# FOLIOSTAMP_POPPLER_FOUND.

set(FOLIOSTAMP_POPPLER_FOUND OFF)

if(WIN32)
  set(FOLIOSTAMP_POPPLER_PREFIX "" CACHE PATH
      "Prefix of the cross-built static poppler (default: the newest in build/poppler-windows)")
  set(poppler_prefix "${FOLIOSTAMP_POPPLER_PREFIX}")
  if(NOT poppler_prefix)
    file(GLOB poppler_marks "${CMAKE_SOURCE_DIR}/build/poppler-windows/*/prefix/.complete")
    if(poppler_marks)
      list(SORT poppler_marks)
      list(GET poppler_marks -1 poppler_mark)
      get_filename_component(poppler_prefix "${poppler_mark}" DIRECTORY)
    endif()
  endif()
  # The static library by its file name: otherwise CMake would pick the
  # DLL's import library, and the program would need zlib1.dll.
  find_library(FOLIOSTAMP_ZLIB_STATIC NAMES libz.a)
  if(poppler_prefix AND EXISTS "${poppler_prefix}/lib/libpoppler.a"
     AND EXISTS "${poppler_prefix}/lib/libfreetype.a" AND FOLIOSTAMP_ZLIB_STATIC)
    add_library(foliostamp_poppler INTERFACE)
    target_include_directories(foliostamp_poppler SYSTEM INTERFACE "${poppler_prefix}/include/poppler")
    target_link_libraries(foliostamp_poppler INTERFACE
      "${poppler_prefix}/lib/libpoppler.a"
      "${poppler_prefix}/lib/libfreetype.a"
      "${FOLIOSTAMP_ZLIB_STATIC}")
    set(FOLIOSTAMP_POPPLER_FOUND ON)
    message(STATUS "poppler for Windows: ${poppler_prefix}")
  endif()
else()
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(poppler_pc QUIET IMPORTED_TARGET poppler)
  endif()
  if(poppler_pc_FOUND)
    find_path(FOLIOSTAMP_POPPLER_PRIVATE_HEADERS TextOutputDev.h HINTS ${poppler_pc_INCLUDE_DIRS})
  endif()
  if(poppler_pc_FOUND AND FOLIOSTAMP_POPPLER_PRIVATE_HEADERS)
    add_library(foliostamp_poppler INTERFACE)
    target_link_libraries(foliostamp_poppler INTERFACE PkgConfig::poppler_pc)
    set(FOLIOSTAMP_POPPLER_FOUND ON)
    message(STATUS "poppler: ${poppler_pc_VERSION}")
  endif()
endif()
