# GoogleTest for the cross build, compiled from Debian's sources.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# The core's unit tests again, built for Windows: the same scenarios under
# the Windows path rules of the standard library.
add_library(lumiran_fake_platform STATIC ${CMAKE_SOURCE_DIR}/tests/host/fake_platform.cpp)
target_include_directories(lumiran_fake_platform PUBLIC ${CMAKE_SOURCE_DIR})
include(${CMAKE_SOURCE_DIR}/tests/host/tests.cmake)
add_executable(core_tests_win ${LUMIRAN_CORE_TEST_SOURCES})
target_link_libraries(core_tests_win PRIVATE lumiran_core lumiran_fake_platform gtest_main)
add_test(NAME wine.core_tests COMMAND core_tests_win)

# The real platform layer and the core against real Windows services.
set(LUMIRAN_WINE_TEST_SOURCES
  ${CMAKE_SOURCE_DIR}/tests/wine/platform_test.cpp)
add_executable(platform_tests ${LUMIRAN_WINE_TEST_SOURCES})
target_link_libraries(platform_tests PRIVATE lumiran_core lumiran_platform gtest_main)
target_compile_definitions(platform_tests PRIVATE
  LUMIRAN_SUITE_EXE_PATH=L"Z:${CMAKE_BINARY_DIR}/suite/Lumiran.exe")
add_dependencies(platform_tests lumiran_suite)
add_test(NAME wine.platform_tests COMMAND platform_tests)
set_tests_properties(wine.core_tests wine.platform_tests PROPERTIES TIMEOUT 300)
