# QUORVIN_GTEST: the GoogleTest libraries a test executable links. The
# windows builds compile Debian's GoogleTest sources with their own compiler.
if(WIN32)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(QUORVIN_GTEST GTest::gtest GTest::gtest_main)
  if(NOT TARGET GTest::gtest)
    set(QUORVIN_GTEST gtest gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
  set(QUORVIN_GTEST GTest::gtest GTest::gtest_main)
endif()
