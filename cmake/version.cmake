# The version that a build gives the setup image: three numbers, MAJOR.MINOR.PATCH,
# each from 0 to 65535 (the version block holds 16 bits a part) and without
# leading zeros, so that the texts, "DisplayVersion" and the version block's
# numbers all spell it the same way. The configuration includes this file; the
# check alone runs as a script:
#   cmake -DLUMIRAN_VERSION=2.2.0 -P version.cmake

# Sets PREFIX_MAJOR, PREFIX_MINOR and PREFIX_PATCH in the caller, or stops with
# a message naming LUMIRAN_VERSION, the value and the form it must have.
function(lumiran_split_version version prefix)
  set(number "(0|[1-9][0-9]*)")
  set(parts "")
  if(version MATCHES "^${number}\\.${number}\\.${number}$")
    set(parts ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3})
  endif()
  foreach(part IN LISTS parts)
    if(part GREATER 65535)
      set(parts "")
    endif()
  endforeach()
  if(parts STREQUAL "")
    message(FATAL_ERROR "LUMIRAN_VERSION: \"${version}\" is not a version the setup image can carry. "
                        "Give three numbers MAJOR.MINOR.PATCH, each from 0 to 65535 and without "
                        "leading zeros, such as 2.2.0.")
  endif()
  list(GET parts 0 major)
  list(GET parts 1 minor)
  list(GET parts 2 patch)
  set(${prefix}_MAJOR ${major} PARENT_SCOPE)
  set(${prefix}_MINOR ${minor} PARENT_SCOPE)
  set(${prefix}_PATCH ${patch} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  lumiran_split_version("${LUMIRAN_VERSION}" lumiran)
  message("${lumiran_MAJOR} ${lumiran_MINOR} ${lumiran_PATCH}")
endif()
