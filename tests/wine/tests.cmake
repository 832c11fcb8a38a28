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
set_tests_properties(wine.core_tests PROPERTIES TIMEOUT 300)

# The real platform layer and the core against real Windows services. The
# program carries the stand-in suite as resource 201, like the setup image.
set(LUMIRAN_SUITE_BUILT ${CMAKE_BINARY_DIR}/suite/Lumiran.exe)
set(LUMIRAN_WINE_TEST_DIR ${CMAKE_SOURCE_DIR}/tests/wine)
add_executable(platform_tests
  ${LUMIRAN_WINE_TEST_DIR}/main.cpp
  ${LUMIRAN_WINE_TEST_DIR}/support.cpp
  ${LUMIRAN_WINE_TEST_DIR}/layout_test.cpp
  ${LUMIRAN_WINE_TEST_DIR}/shutdown_test.cpp
  ${LUMIRAN_WINE_TEST_DIR}/registry_test.cpp
  ${LUMIRAN_WINE_TEST_DIR}/shortcut_test.cpp
  ${LUMIRAN_WINE_TEST_DIR}/payload_test.cpp
  ${LUMIRAN_WINE_TEST_DIR}/payload.rc)
target_link_libraries(platform_tests PRIVATE lumiran_core lumiran_platform gtest)
target_compile_definitions(platform_tests PRIVATE LUMIRAN_SUITE_EXE_PATH=L"Z:${LUMIRAN_SUITE_BUILT}")
set_source_files_properties(${LUMIRAN_WINE_TEST_DIR}/payload.rc PROPERTIES
  COMPILE_FLAGS "-I${CMAKE_BINARY_DIR}/suite"
  OBJECT_DEPENDS ${LUMIRAN_SUITE_BUILT})
add_dependencies(platform_tests lumiran_suite)

# One entry per area, each in a fresh prefix of its own, so that they run
# side by side; the last one runs whatever test no area names.
set(LUMIRAN_WINE_AREAS
  "layout=Layout.*"
  "shutdown=Shutdown.*"
  "registry=UninstallEntry.*:Autostart.*"
  "shortcut=Shortcut.*"
  "payload=Payload.*")
set(LUMIRAN_WINE_NAMED "")
foreach(area ${LUMIRAN_WINE_AREAS})
  string(REPLACE "=" ";" parts "${area}")
  list(GET parts 0 name)
  list(GET parts 1 filter)
  add_test(NAME wine.platform.${name} COMMAND platform_tests --gtest_filter=${filter})
  list(APPEND LUMIRAN_WINE_NAMED ${filter})
endforeach()
list(JOIN LUMIRAN_WINE_NAMED ":" LUMIRAN_WINE_NAMED)
add_test(NAME wine.platform.rest COMMAND platform_tests --gtest_filter=-${LUMIRAN_WINE_NAMED})
list(TRANSFORM LUMIRAN_WINE_AREAS REPLACE "=.*" "" OUTPUT_VARIABLE LUMIRAN_WINE_TESTS)
list(TRANSFORM LUMIRAN_WINE_TESTS PREPEND "wine.platform.")
set_tests_properties(${LUMIRAN_WINE_TESTS} wine.platform.rest PROPERTIES TIMEOUT 120)

# The shortcut file read by lnkinfo, a reader that shares no code with Wine.
add_executable(make_shortcut ${LUMIRAN_WINE_TEST_DIR}/make_shortcut.cpp)
target_link_libraries(make_shortcut PRIVATE lumiran_core lumiran_platform)
add_dependencies(make_shortcut lumiran_suite)
add_test(NAME wine.shortcut.lnkinfo
  COMMAND bash ${LUMIRAN_WINE_TEST_DIR}/lnkinfo_check.sh ${LUMIRAN_WINE_DIR}
          $<TARGET_FILE:make_shortcut> ${LUMIRAN_SUITE_BUILT})
set_tests_properties(wine.shortcut.lnkinfo PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
