# Optional Authenticode signing of the setup image with osslsigncode.
#
#   -DLUMIRAN_SIGN_PKCS12=/path/to/signing.p12 [-DLUMIRAN_SIGN_PASSWORD_FILE=/path/to/password.txt]
#   [-DLUMIRAN_SIGN_TIMESTAMP_URL=http://timestamp.example/rfc3161]
#
# A PKCS#12 file without a password needs no password file, or an empty one
# (a lone line break counts as empty): osslsigncode refuses an empty
# -readpass file, so it is then given none.
#
# The image is signed in place as the last step of its link, so that every
# later copy of it, the installed Lumiran-Uninstall.exe among them, carries
# the signature. Without LUMIRAN_SIGN_PKCS12 nothing is signed and the image
# is exactly what the linker wrote.
#
# The signature has no timestamp unless LUMIRAN_SIGN_TIMESTAMP_URL names an
# RFC 3161 server (the build then needs that server): without one it is
# valid only as long as the certificate is. Its signing time is the time of
# the build, or SOURCE_DATE_EPOCH when that is set in the build's
# environment, which makes signed builds byte-identical as well.
#
# This file is also the signing step itself, run by the build in script mode:
#   cmake -DIMAGE=... -DPKCS12=... [-DPASSWORD_FILE=...] -DOSSLSIGNCODE=...
#         [-DTIMESTAMP_URL=...] -P signing.cmake

if(CMAKE_SCRIPT_MODE_FILE)
  set(lumiran_sign_args sign -pkcs12 "${PKCS12}" -h sha256 -n "Lumiran Setup")
  if(PASSWORD_FILE)
    file(READ "${PASSWORD_FILE}" lumiran_password)
    string(REGEX REPLACE "\r?\n$" "" lumiran_password "${lumiran_password}")
    if(NOT lumiran_password STREQUAL "")
      list(APPEND lumiran_sign_args -readpass "${PASSWORD_FILE}")
    endif()
    unset(lumiran_password)
  endif()
  if(TIMESTAMP_URL)
    list(APPEND lumiran_sign_args -ts "${TIMESTAMP_URL}")
  endif()
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
      message(FATAL_ERROR "SOURCE_DATE_EPOCH is '$ENV{SOURCE_DATE_EPOCH}', not a number of seconds.")
    endif()
    list(APPEND lumiran_sign_args -time "$ENV{SOURCE_DATE_EPOCH}")
  endif()
  set(lumiran_signed "${IMAGE}.signing")
  file(REMOVE "${lumiran_signed}")
  execute_process(COMMAND "${OSSLSIGNCODE}" ${lumiran_sign_args} -in "${IMAGE}" -out "${lumiran_signed}"
                  RESULT_VARIABLE lumiran_sign_result
                  OUTPUT_VARIABLE lumiran_sign_log
                  ERROR_VARIABLE lumiran_sign_log)
  if(NOT lumiran_sign_result EQUAL 0)
    # No unsigned image may stay behind looking finished: the next build
    # links it again and signs it again.
    file(REMOVE "${lumiran_signed}" "${IMAGE}")
    message(FATAL_ERROR "Signing ${IMAGE} with ${PKCS12} failed:\n${lumiran_sign_log}")
  endif()
  file(RENAME "${lumiran_signed}" "${IMAGE}")
  return()
endif()

set(LUMIRAN_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file with the certificate and key that sign the setup image; empty: not signed")
set(LUMIRAN_SIGN_PASSWORD_FILE "" CACHE FILEPATH
    "File holding the password of LUMIRAN_SIGN_PKCS12; empty, or an empty file: no password")
set(LUMIRAN_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 timestamp server for the signature; empty: no timestamp")

if(NOT LUMIRAN_SIGN_PKCS12)
  message(STATUS "Setup image: not signed (LUMIRAN_SIGN_PKCS12 is empty)")
  return()
endif()

# A file the build will read: present and readable, or the configuration
# stops here rather than halfway through a build. The message and the path
# stand on lines of their own, so that no wrapping breaks them.
function(lumiran_sign_require_file variable what)
  set(path "${${variable}}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E sha256sum "${path}"
                  RESULT_VARIABLE readable OUTPUT_QUIET ERROR_QUIET)
  if(readable EQUAL 0 AND NOT IS_DIRECTORY "${path}")
    return()
  endif()
  # EXISTS is false for a file that is there but cannot be read, too.
  execute_process(COMMAND test -e "${path}" RESULT_VARIABLE absent)
  if(NOT absent EQUAL 0)
    message(FATAL_ERROR "${variable}: there is no ${what} at\n    ${path}\n")
  endif()
  message(FATAL_ERROR "${variable}: the ${what} cannot be read:\n    ${path}\n")
endfunction()
lumiran_sign_require_file(LUMIRAN_SIGN_PKCS12 "PKCS#12 file (certificate and key)")
if(LUMIRAN_SIGN_PASSWORD_FILE)
  lumiran_sign_require_file(LUMIRAN_SIGN_PASSWORD_FILE "password file")
  set(lumiran_sign_password "with the password in ${LUMIRAN_SIGN_PASSWORD_FILE}")
else()
  set(lumiran_sign_password "without a password")
endif()

find_program(LUMIRAN_OSSLSIGNCODE osslsigncode)
if(NOT LUMIRAN_OSSLSIGNCODE)
  message(FATAL_ERROR "LUMIRAN_SIGN_PKCS12 is set but osslsigncode was not found (Debian package osslsigncode).")
endif()

add_custom_command(TARGET lumiran_setup POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DIMAGE=$<TARGET_FILE:lumiran_setup>
          -DPKCS12=${LUMIRAN_SIGN_PKCS12} -DPASSWORD_FILE=${LUMIRAN_SIGN_PASSWORD_FILE}
          -DTIMESTAMP_URL=${LUMIRAN_SIGN_TIMESTAMP_URL} -DOSSLSIGNCODE=${LUMIRAN_OSSLSIGNCODE}
          -P ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Signing the setup image with osslsigncode"
  VERBATIM)
# A renewed certificate or password signs the image again.
set_property(TARGET lumiran_setup APPEND PROPERTY LINK_DEPENDS
             ${LUMIRAN_SIGN_PKCS12} ${LUMIRAN_SIGN_PASSWORD_FILE})
if(LUMIRAN_SIGN_TIMESTAMP_URL)
  message(STATUS "Setup image: signed with ${LUMIRAN_SIGN_PKCS12} ${lumiran_sign_password}, "
                 "timestamped by ${LUMIRAN_SIGN_TIMESTAMP_URL}")
else()
  message(STATUS "Setup image: signed with ${LUMIRAN_SIGN_PKCS12} ${lumiran_sign_password}, without a timestamp")
endif()
