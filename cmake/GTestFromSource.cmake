# GoogleTest built with the project, from the sources Debian's libgtest-dev
# ships, where find_package(GTest) found none: in a cross build, which finds
# only the target's libraries. Defines GTest::gtest_main and GTest_FOUND.
set(ICV_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources, built when no installed GoogleTest is found")
if(EXISTS "${ICV_GTEST_SOURCE_DIR}/CMakeLists.txt")
  message(STATUS "GoogleTest: building it from ${ICV_GTEST_SOURCE_DIR}")
  set(BUILD_GMOCK OFF CACHE BOOL "")
  set(INSTALL_GTEST OFF CACHE BOOL "")
  add_subdirectory("${ICV_GTEST_SOURCE_DIR}" "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
  set(GTest_FOUND TRUE)
endif()
