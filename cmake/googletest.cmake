# GoogleTest from the sources Debian ships, built with the project's own
# compiler (natively, or with mingw-w64 for tests that run under Wine).
# Elsewhere (Visual Studio) an installed GTest package is used.
set(FOLIOSTAMP_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
if(EXISTS "${FOLIOSTAMP_GTEST_SOURCE}/CMakeLists.txt")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory("${FOLIOSTAMP_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()
