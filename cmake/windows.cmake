# Cross build: the real platform layer, the setup executable, the stand-in
# suite and the tests that run under Wine.
enable_language(RC)

add_library(lumiran_platform STATIC
  platform/win32/files.cpp
  platform/win32/known_folders.cpp
  platform/win32/process.cpp
  platform/win32/registry.cpp
  platform/win32/shell_link.cpp
  platform/win32/task_dialog.cpp
  platform/win32/windows.cpp)
target_include_directories(lumiran_platform PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(lumiran_platform PUBLIC ole32 shell32 comctl32 advapi32 user32 uuid)

# The stand-in suite: the default payload and the peer of the tests.
add_subdirectory(suite)

# Where the payload comes from, the resource script and the setup image.
include(resources/resources.cmake)

# Every Windows test runs under wine64 in a fresh prefix of its own, copied
# from one template that is made once per build tree.
set(LUMIRAN_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/wine/wine-run;${LUMIRAN_WINE_DIR})
include(tests/wine/tests.cmake)

# The image read by independent tools, and the end-to-end scenarios.
include(tests/image/tests.cmake)
include(tests/e2e/tests.cmake)

# Optional Authenticode signing of the setup image, and its tests; DLL planting.
include(cmake/signing.cmake)
include(tests/signing/tests.cmake)
include(tests/dll/tests.cmake)
