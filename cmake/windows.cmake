# Cross build: the real platform layer, the setup executable, the stand-in
# suite and, with LUMIRAN_TESTS, the tests that run under Wine.
enable_language(RC)

add_library(lumiran_platform STATIC
  platform/win32/accounts.cpp
  platform/win32/files.cpp
  platform/win32/known_folders.cpp
  platform/win32/mutex.cpp
  platform/win32/process.cpp
  platform/win32/registry.cpp
  platform/win32/shell_link.cpp
  platform/win32/task_dialog.cpp
  platform/win32/windows.cpp)
target_include_directories(lumiran_platform PUBLIC ${CMAKE_SOURCE_DIR})
# comctl32 through an import library of its own (cmake/comctl32.def): every
# comctl32 function the platform layer calls must be listed there. dlltool
# writes its temporary files into the working directory, so that is the
# build tree, not wherever cmake was started.
set(LUMIRAN_COMCTL32_IMPLIB ${CMAKE_BINARY_DIR}/libcomctl32-v6.a)
execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${CMAKE_SOURCE_DIR}/cmake/comctl32.def
                        --output-lib ${LUMIRAN_COMCTL32_IMPLIB}
                WORKING_DIRECTORY ${CMAKE_BINARY_DIR} RESULT_VARIABLE LUMIRAN_DLLTOOL_RESULT)
if(NOT LUMIRAN_DLLTOOL_RESULT EQUAL 0)
  message(FATAL_ERROR "dlltool could not make ${LUMIRAN_COMCTL32_IMPLIB} from cmake/comctl32.def.")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/comctl32.def)
target_link_libraries(lumiran_platform PUBLIC ole32 shell32 ${LUMIRAN_COMCTL32_IMPLIB} advapi32 user32 wtsapi32 uuid)

# What ships (the setup image and the stand-in suite it embeds) is linked
# without symbols and without unreferenced sections. Sections aligned to the
# page size in the file let the loader map the image (and so the payload)
# instead of reading it all in at start: a 256 MiB payload then costs pages
# of the file cache, not 256 MiB of private memory.
set(LUMIRAN_SHIPPED_LINK_OPTIONS -s -Wl,--gc-sections -Wl,--file-alignment=4096)

include(cmake/delay_imports.cmake)

# The stand-in suite: the default payload and the peer of the tests.
add_subdirectory(suite)

# Where the payload comes from, the resource script and the setup image.
include(resources/resources.cmake)

# Optional Authenticode signing of the setup image.
include(cmake/signing.cmake)

# The notices and the bill of materials beside the image, of the signed file.
include(cmake/release_files.cmake)
lumiran_add_release_files(${LUMIRAN_SETUP_IMAGE} lumiran_setup_unsigned lumiran_setup ${LUMIRAN_BUILD_VERSION})

# A publisher's build machine has the cross compiler and nothing else: the
# tests, and GoogleTest's sources, Wine and the tools they need, stay out.
if(NOT LUMIRAN_TESTS)
  message(STATUS "Tests: off (LUMIRAN_TESTS); only the setup image and the stand-in suite")
  return()
endif()

# Every Windows test runs under wine64 in a fresh prefix of its own, copied
# from one template that is made once per build tree.
set(LUMIRAN_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/wine/wine-run;${LUMIRAN_WINE_DIR})
include(tests/wine/tests.cmake)

# A second image, of another version, built as a release of that version
# would be: image.version_other reads its version block, e2e.reinstall
# upgrades to it. Longer than 2.1.0, so that a size kept from that shows.
set(LUMIRAN_OTHER_VERSION 10.20.300)
lumiran_add_core(lumiran_core_other ${LUMIRAN_OTHER_VERSION})
lumiran_add_setup_image(lumiran_setup_other ${LUMIRAN_OTHER_VERSION} lumiran_core_other
                        ${CMAKE_BINARY_DIR}/other-version)
lumiran_add_release_files(${CMAKE_BINARY_DIR}/other-version/Lumiran-Setup-${LUMIRAN_OTHER_VERSION}-x64.exe
                          lumiran_setup_other lumiran_setup_other ${LUMIRAN_OTHER_VERSION})

# The image read by independent tools, and the end-to-end scenarios.
include(tests/image/tests.cmake)
include(tests/e2e/tests.cmake)

# Signing and DLL planting.
include(tests/signing/tests.cmake)
include(tests/dll/tests.cmake)

# The installer benchmark's own tests and a smoke run of it.
include(bench/tests.cmake)
