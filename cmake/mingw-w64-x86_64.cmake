# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Unicode everywhere; the image carries its own C++ runtime so that it
# imports nothing but DLLs that ship with Windows.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_link_options(-static -static-libgcc -static-libstdc++
                 # No link timestamp: two builds of the same sources are identical.
                 -Wl,--no-insert-timestamp
                 -Wl,--dynamicbase -Wl,--nxcompat -Wl,--high-entropy-va)

# Programs with a wWinMain entry point (the setup program and the stand-in
# suite) link the Unicode start-up code; test programs keep main().
set(LUMIRAN_UNICODE_ENTRY -municode)
