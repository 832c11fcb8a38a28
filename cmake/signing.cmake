# Optional Authenticode signing of the setup image, in one of three ways:
#
#   a PKCS#12 file that holds the certificate and the key (private CAs, tests):
#     -DLUMIRAN_SIGN_PKCS12=/path/to/signing.p12 [-DLUMIRAN_SIGN_PASSWORD_FILE=/path/to/password.txt]
#   a key that stays in a token or HSM, through its PKCS#11 library:
#     -DLUMIRAN_SIGN_PKCS11_MODULE=/usr/lib/x86_64-linux-gnu/opensc-pkcs11.so
#     -DLUMIRAN_SIGN_PKCS11_KEY="pkcs11:token=Publisher;object=signing;type=private"
#     -DLUMIRAN_SIGN_CERT=/path/to/chain.pem [-DLUMIRAN_SIGN_PASSWORD_FILE=/path/to/pin.txt]
#   any command that signs a file in place, @FILE@ standing for its path:
#     -DLUMIRAN_SIGN_COMMAND="/opt/ci/sign.sh;@FILE@" [-DLUMIRAN_SIGN_CERT=/path/to/chain.pem]
#
# The first two sign with osslsigncode, with SHA-256, and timestamp the
# signature when LUMIRAN_SIGN_TIMESTAMP_URL lists RFC 3161 servers (tried in
# order, each for LUMIRAN_SIGN_TIMESTAMP_TIMEOUT seconds, until one answers);
# without one the signature is valid only as long as the certificate is. A command does its own timestamping. The signing
# time is the time of the build, or SOURCE_DATE_EPOCH when that is set in the
# build's environment, which makes signed builds byte-identical as well.
#
# A password file without a password, or an empty one (a lone line break
# counts as empty), is the same as none: osslsigncode refuses an empty
# -readpass file. The password or PIN is read by osslsigncode from the file
# alone, so it stands on no command line and in nothing the build writes.
#
# The image is signed before it is put at its path, so that every later
# copy of it, the installed Lumiran-Uninstall.exe among them, carries the
# signature. The link writes elsewhere (unsigned/), and the signing step,
# sign_image.cmake, alone writes the image's path, once the signature is
# checked; anything else stops the build and leaves no image there. Without
# a way to sign, that step is a copy of what the linker wrote.
#
# A step that needs the final image depends on the target lumiran_setup (for
# the order) and on the file LUMIRAN_SETUP_IMAGE (to run again when it
# changes).

# The step that puts the image at its path; ARGN are its COMMAND and DEPENDS.
function(lumiran_setup_image_step comment)
  add_custom_command(OUTPUT ${LUMIRAN_SETUP_IMAGE} ${ARGN} DEPENDS lumiran_setup_unsigned
                     COMMENT "${comment}" VERBATIM)
  add_custom_target(lumiran_setup ALL DEPENDS ${LUMIRAN_SETUP_IMAGE})
endfunction()

set(LUMIRAN_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file with the certificate and key that sign the setup image; empty: not this way")
set(LUMIRAN_SIGN_PKCS11_MODULE "" CACHE FILEPATH
    "PKCS#11 library of the token or HSM that holds the signing key; empty: not this way")
set(LUMIRAN_SIGN_PKCS11_KEY "" CACHE STRING
    "The signing key in LUMIRAN_SIGN_PKCS11_MODULE, as a pkcs11: URI (RFC 7512)")
set(LUMIRAN_SIGN_CERT "" CACHE FILEPATH
    "PEM file with the certificate of LUMIRAN_SIGN_PKCS11_KEY and its chain; with the other ways, optional: the signer must be one of its certificates")
set(LUMIRAN_SIGN_PASSWORD_FILE "" CACHE FILEPATH
    "File holding the password of LUMIRAN_SIGN_PKCS12 or the token's PIN; empty, or an empty file: none")
set(LUMIRAN_SIGN_COMMAND "" CACHE STRING
    "Command that signs the image in place, a list of program and arguments, @FILE@ for the image; empty: not this way")
set(LUMIRAN_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 timestamp servers, a list tried in order, for PKCS#12 and PKCS#11; empty: no timestamp")
set(LUMIRAN_SIGN_TIMESTAMP_TIMEOUT "" CACHE STRING
    "Seconds each timestamp server has to answer before the next is asked; empty: 60")

set(lumiran_sign_pkcs11 "")
set(lumiran_sign_pkcs11_missing "")
foreach(option LUMIRAN_SIGN_PKCS11_MODULE LUMIRAN_SIGN_PKCS11_KEY LUMIRAN_SIGN_CERT)
  if(NOT ${option})
    list(APPEND lumiran_sign_pkcs11_missing ${option})
  elseif(NOT option STREQUAL "LUMIRAN_SIGN_CERT")
    list(APPEND lumiran_sign_pkcs11 ${option})
  endif()
endforeach()
set(lumiran_sign_routes "")
if(LUMIRAN_SIGN_PKCS12)
  list(APPEND lumiran_sign_routes LUMIRAN_SIGN_PKCS12)
  set(lumiran_sign_route pkcs12)
endif()
if(lumiran_sign_pkcs11)
  list(JOIN lumiran_sign_pkcs11 " and " lumiran_sign_named)
  list(APPEND lumiran_sign_routes "${lumiran_sign_named}")
  set(lumiran_sign_route pkcs11)
endif()
if(LUMIRAN_SIGN_COMMAND)
  list(APPEND lumiran_sign_routes LUMIRAN_SIGN_COMMAND)
  set(lumiran_sign_route command)
endif()
list(LENGTH lumiran_sign_routes lumiran_sign_count)
if(lumiran_sign_count EQUAL 0)
  # An option of signing given alone is a way to sign half given: building
  # unsigned then would hide the mistake until the release is checked.
  foreach(option LUMIRAN_SIGN_CERT LUMIRAN_SIGN_PASSWORD_FILE LUMIRAN_SIGN_TIMESTAMP_URL)
    if(${option})
      message(FATAL_ERROR "${option} is set, but no way to sign is: give LUMIRAN_SIGN_PKCS12, "
              "LUMIRAN_SIGN_PKCS11_MODULE with LUMIRAN_SIGN_PKCS11_KEY, or LUMIRAN_SIGN_COMMAND, "
              "or leave ${option} empty.\n")
    endif()
  endforeach()
  message(STATUS "Setup image: not signed (no LUMIRAN_SIGN_PKCS12, LUMIRAN_SIGN_PKCS11_... or LUMIRAN_SIGN_COMMAND)")
  # Copied under another name first, so that the image's path never holds half a copy.
  lumiran_setup_image_step("Putting the setup image at ${LUMIRAN_SETUP_IMAGE}"
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:lumiran_setup_unsigned> ${LUMIRAN_SETUP_IMAGE}.partial
    COMMAND ${CMAKE_COMMAND} -E rename ${LUMIRAN_SETUP_IMAGE}.partial ${LUMIRAN_SETUP_IMAGE})
  return()
elseif(lumiran_sign_count GREATER 1)
  list(JOIN lumiran_sign_routes ", and " lumiran_sign_named)
  message(FATAL_ERROR "The image is signed in one way only, and these options name more than one:\n"
          "    ${lumiran_sign_named}\n"
          "Give LUMIRAN_SIGN_PKCS12, or LUMIRAN_SIGN_PKCS11_MODULE with LUMIRAN_SIGN_PKCS11_KEY and "
          "LUMIRAN_SIGN_CERT, or LUMIRAN_SIGN_COMMAND, and leave the others empty.\n")
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

if(lumiran_sign_route STREQUAL "command")
  foreach(option LUMIRAN_SIGN_PASSWORD_FILE LUMIRAN_SIGN_TIMESTAMP_URL)
    if(${option})
      message(FATAL_ERROR "${option} is for osslsigncode's own signing, not for LUMIRAN_SIGN_COMMAND:\n"
              "the command gets its secrets and does its timestamping itself. Leave ${option} empty.\n")
    endif()
  endforeach()
  string(FIND "${LUMIRAN_SIGN_COMMAND}" "@FILE@" lumiran_sign_at)
  if(lumiran_sign_at LESS 0)
    message(FATAL_ERROR "LUMIRAN_SIGN_COMMAND has no @FILE@ for the image to sign:\n"
            "    ${LUMIRAN_SIGN_COMMAND}\n")
  endif()
  # The program runs as it is found here: on the PATH, or a relative path
  # from where cmake was started, which the build, started elsewhere, would
  # not find again.
  set(lumiran_sign_command ${LUMIRAN_SIGN_COMMAND})
  list(GET lumiran_sign_command 0 lumiran_sign_program)
  if(NOT IS_ABSOLUTE "${lumiran_sign_program}")
    find_program(lumiran_sign_found "${lumiran_sign_program}" NO_CACHE)
    if(lumiran_sign_found)
      execute_process(COMMAND realpath -s -- "${lumiran_sign_found}"
                      OUTPUT_VARIABLE lumiran_sign_program OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
  endif()
  if(NOT EXISTS "${lumiran_sign_program}" OR IS_DIRECTORY "${lumiran_sign_program}")
    message(FATAL_ERROR "LUMIRAN_SIGN_COMMAND: there is no program\n    ${lumiran_sign_program}\n")
  endif()
  list(REMOVE_AT lumiran_sign_command 0)
  list(INSERT lumiran_sign_command 0 "${lumiran_sign_program}")
  set(lumiran_sign_signer "with LUMIRAN_SIGN_COMMAND")
  set(lumiran_sign_inputs "")
elseif(lumiran_sign_route STREQUAL "pkcs11")
  if(lumiran_sign_pkcs11_missing)
    list(GET lumiran_sign_pkcs11_missing 0 lumiran_sign_named)
    message(FATAL_ERROR "${lumiran_sign_named} is empty: a key in a token or HSM needs LUMIRAN_SIGN_PKCS11_MODULE, "
            "LUMIRAN_SIGN_PKCS11_KEY and LUMIRAN_SIGN_CERT.\n")
  elseif(NOT LUMIRAN_SIGN_PKCS11_KEY MATCHES "^pkcs11:")
    message(FATAL_ERROR "LUMIRAN_SIGN_PKCS11_KEY is not a pkcs11: URI (RFC 7512), "
            "such as pkcs11:token=Publisher;object=signing;type=private:\n    ${LUMIRAN_SIGN_PKCS11_KEY}\n")
  elseif(LUMIRAN_SIGN_PKCS11_KEY MATCHES "pin-value=")
    message(FATAL_ERROR "LUMIRAN_SIGN_PKCS11_KEY holds the PIN (pin-value), which would then stand in "
            "the build's commands and cache: put it in LUMIRAN_SIGN_PASSWORD_FILE instead.\n")
  endif()
  lumiran_sign_require_file(LUMIRAN_SIGN_PKCS11_MODULE "PKCS#11 library")
  set(lumiran_sign_signer "with the key ${LUMIRAN_SIGN_PKCS11_KEY} through ${LUMIRAN_SIGN_PKCS11_MODULE}")
  set(lumiran_sign_inputs ${LUMIRAN_SIGN_PKCS11_MODULE})
else()
  lumiran_sign_require_file(LUMIRAN_SIGN_PKCS12 "PKCS#12 file (certificate and key)")
  set(lumiran_sign_signer "with ${LUMIRAN_SIGN_PKCS12}")
  set(lumiran_sign_inputs ${LUMIRAN_SIGN_PKCS12})
endif()
if(LUMIRAN_SIGN_CERT)
  lumiran_sign_require_file(LUMIRAN_SIGN_CERT "certificate file")
  list(APPEND lumiran_sign_inputs ${LUMIRAN_SIGN_CERT})
endif()
# The password file is read, but is no input of the step: one on a tmpfs
# that is gone after signing breaks no later build that has nothing to sign.
if(LUMIRAN_SIGN_PASSWORD_FILE)
  lumiran_sign_require_file(LUMIRAN_SIGN_PASSWORD_FILE "password file")
  set(lumiran_sign_password ", the password or PIN in ${LUMIRAN_SIGN_PASSWORD_FILE}")
elseif(NOT lumiran_sign_route STREQUAL "command")
  set(lumiran_sign_password ", without a password")
endif()

set(lumiran_sign_timeout "${LUMIRAN_SIGN_TIMESTAMP_TIMEOUT}")
if(lumiran_sign_timeout STREQUAL "")
  set(lumiran_sign_timeout 60)
elseif(NOT lumiran_sign_timeout MATCHES "^[1-9][0-9]*$")
  message(FATAL_ERROR "LUMIRAN_SIGN_TIMESTAMP_TIMEOUT is not a number of seconds:\n    ${lumiran_sign_timeout}\n")
endif()

# osslsigncode signs, and reads the signature every way makes; openssl
# verifies it.
foreach(tool "osslsigncode;OSSLSIGNCODE;signs the image or reads the signature a command made"
             "openssl;OPENSSL;verifies the signature")
  list(GET tool 0 program)
  list(GET tool 1 variable)
  find_program(LUMIRAN_${variable} ${program})
  if(NOT LUMIRAN_${variable})
    list(GET tool 2 what)
    message(FATAL_ERROR "Signing is on but ${program} was not found (Debian package ${program}): it ${what}.")
  endif()
endforeach()
# The check needs no network: these options, where osslsigncode has them
# (2.9 does, 2.5 not), keep its verification from fetching the
# certificate's revocation lists.
execute_process(COMMAND ${LUMIRAN_OSSLSIGNCODE} --help OUTPUT_VARIABLE lumiran_sign_help ERROR_VARIABLE lumiran_sign_help)
set(lumiran_sign_verify_options "")
foreach(option -ignore-cdp -ignore-crl)
  string(FIND "${lumiran_sign_help}" "${option} " lumiran_sign_at)
  if(lumiran_sign_at GREATER_EQUAL 0)
    list(APPEND lumiran_sign_verify_options ${option})
  endif()
endforeach()

# A signed installer that installs an unsigned suite: Smart App Control and
# SmartScreen then meet the suite unsigned. A test build may be meant so.
if(NOT LUMIRAN_SUITE_EXE)
  message(WARNING "The stand-in suite from suite/ is embedded, and it carries no Authenticode signature: "
          "the installed suite would meet Smart App Control and SmartScreen unsigned. "
          "Give LUMIRAN_SUITE_EXE your signed Lumiran.exe.")
else()
  execute_process(COMMAND ${LUMIRAN_OSSLSIGNCODE} extract-signature -in ${LUMIRAN_PAYLOAD}
                          -out ${CMAKE_BINARY_DIR}/payload-signature
                  RESULT_VARIABLE lumiran_sign_payload OUTPUT_QUIET ERROR_QUIET)
  file(REMOVE ${CMAKE_BINARY_DIR}/payload-signature)
  if(NOT lumiran_sign_payload EQUAL 0)
    message(WARNING "The payload carries no Authenticode signature:\n    ${LUMIRAN_PAYLOAD}\n"
            "The installed suite would meet Smart App Control and SmartScreen unsigned. "
            "Sign your Lumiran.exe before embedding it.")
  endif()
endif()

# The step's settings, in a file that changes only when they do: another
# certificate, key, command or server signs the image again, as a renewed
# file does. Bracket arguments keep a list a list, semicolons and all.
set(lumiran_sign_settings "")
foreach(pair ROUTE=lumiran_sign_route SIGNER=lumiran_sign_signer OSSLSIGNCODE=LUMIRAN_OSSLSIGNCODE
             OPENSSL=LUMIRAN_OPENSSL PKCS12=LUMIRAN_SIGN_PKCS12 PKCS11_MODULE=LUMIRAN_SIGN_PKCS11_MODULE
             PKCS11_KEY=LUMIRAN_SIGN_PKCS11_KEY CERT=LUMIRAN_SIGN_CERT
             PASSWORD_FILE=LUMIRAN_SIGN_PASSWORD_FILE SIGN_COMMAND=lumiran_sign_command
             TIMESTAMP_URLS=LUMIRAN_SIGN_TIMESTAMP_URL TIMESTAMP_TIMEOUT=lumiran_sign_timeout
             VERIFY_OPTIONS=lumiran_sign_verify_options)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 variable)
  string(APPEND lumiran_sign_settings "set(${name} [==[${${variable}}]==])\n")
endforeach()
set(LUMIRAN_SIGN_SETTINGS ${CMAKE_BINARY_DIR}/signing-settings.cmake)
if(EXISTS ${LUMIRAN_SIGN_SETTINGS})
  file(READ ${LUMIRAN_SIGN_SETTINGS} lumiran_sign_written)
endif()
if(NOT lumiran_sign_written STREQUAL lumiran_sign_settings)
  file(WRITE ${LUMIRAN_SIGN_SETTINGS} "${lumiran_sign_settings}")
endif()

set(lumiran_sign_script ${CMAKE_CURRENT_LIST_DIR}/sign_image.cmake)
lumiran_setup_image_step("Signing the setup image ${lumiran_sign_signer}"
  COMMAND ${CMAKE_COMMAND} -DLINKED=$<TARGET_FILE:lumiran_setup_unsigned> -DIMAGE=${LUMIRAN_SETUP_IMAGE}
          -DSTAGING=${CMAKE_BINARY_DIR}/signing -DSETTINGS=${LUMIRAN_SIGN_SETTINGS}
          -DREFUSED=${CMAKE_BINARY_DIR}/signing-refused-pin.cmake -P ${lumiran_sign_script}
  DEPENDS ${LUMIRAN_SIGN_SETTINGS} ${lumiran_sign_script} ${lumiran_sign_inputs})
if(LUMIRAN_SIGN_TIMESTAMP_URL)
  list(JOIN LUMIRAN_SIGN_TIMESTAMP_URL ", then " lumiran_sign_servers)
  set(lumiran_sign_timestamp ", timestamped by ${lumiran_sign_servers}")
elseif(NOT lumiran_sign_route STREQUAL "command")
  set(lumiran_sign_timestamp ", without a timestamp")
endif()
message(STATUS "Setup image: signed ${lumiran_sign_signer}${lumiran_sign_password}${lumiran_sign_timestamp}")
