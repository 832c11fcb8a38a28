# Stops with a message naming the file when the suite executable to embed is
# missing, unreadable or no Windows executable; the path stands indented on a
# line of its own, which CMake prints unwrapped. The configuration includes
# this file, and every build of the image runs it again as a script:
#   cmake -DLUMIRAN_PAYLOAD=/path/to/Lumiran.exe -P check_payload.cmake

function(lumiran_check_payload path)
  # EXISTS is false for a file that cannot be read, too.
  if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
    message(FATAL_ERROR "LUMIRAN_SUITE_EXE: no readable suite executable at\n  ${path}")
  endif()
  file(READ "${path}" probe LIMIT 2 HEX)
  if(NOT probe STREQUAL "4d5a")
    message(FATAL_ERROR "LUMIRAN_SUITE_EXE: not a Windows executable (no MZ header):\n  ${path}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  lumiran_check_payload("${LUMIRAN_PAYLOAD}")
endif()
