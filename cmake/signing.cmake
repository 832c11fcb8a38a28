# Optional Authenticode signing of the setup image, in one of three ways:
#
#   a PKCS#12 file that holds the certificate and the key (private CAs, tests):
#     -DLUMIRAN_SIGN_PKCS12=/path/to/signing.p12 [-DLUMIRAN_SIGN_PASSWORD_FILE=/path/to/password.txt]
#   a key that stays in a token or HSM, through its PKCS#11 library:
#     -DLUMIRAN_SIGN_PKCS11_MODULE=/usr/lib/x86_64-linux-gnu/opensc-pkcs11.so
#     -DLUMIRAN_SIGN_PKCS11_KEY="pkcs11:token=Publisher;object=signing;type=private"
#     -DLUMIRAN_SIGN_CERT=/path/to/chain.pem [-DLUMIRAN_SIGN_PASSWORD_FILE=/path/to/pin.txt]
#   any command that signs a file in place, @FILE@ standing for its path:
#     -DLUMIRAN_SIGN_COMMAND="/opt/ci/sign.sh;@FILE@"
#
# The first two sign with osslsigncode, with SHA-256, and timestamp the
# signature when LUMIRAN_SIGN_TIMESTAMP_URL lists RFC 3161 servers (tried in
# order until one answers); without one the signature is valid only as long
# as the certificate is. A command does its own timestamping. The signing
# time is the time of the build, or SOURCE_DATE_EPOCH when that is set in the
# build's environment, which makes signed builds byte-identical as well.
#
# A password file without a password, or an empty one (a lone line break
# counts as empty), is the same as none: osslsigncode refuses an empty
# -readpass file. The password or PIN is read by osslsigncode from the file
# alone, so it stands on no command line and in nothing the build writes.
#
# The image is signed as the last step of its link, so that every later copy
# of it, the installed Lumiran-Uninstall.exe among them, carries the
# signature. The unsigned image leaves the output path first and comes back
# only signed, with a signature whose digest matches its bytes; anything else
# stops the build and leaves no image there. Without a way to sign, nothing
# is signed and the image is exactly what the linker wrote.
#
# This file is also the signing step itself, run by the build in script mode:
#   cmake -DIMAGE=... -DSTAGING=... -DSETTINGS=... -P signing.cmake
# SETTINGS is the file the configuration wrote with the values below.

if(CMAKE_SCRIPT_MODE_FILE)
  include("${SETTINGS}")
  get_filename_component(lumiran_image_name "${IMAGE}" NAME)
  set(lumiran_unsigned "${STAGING}/unsigned/${lumiran_image_name}")
  set(lumiran_staged "${STAGING}/${lumiran_image_name}")

  # No unsigned or half-signed image may stay behind looking finished: the
  # next build links it again and signs it again. WHY is printed as it
  # stands, where an error's text would be rewrapped.
  function(lumiran_sign_fail why)
    file(REMOVE_RECURSE "${STAGING}")
    file(REMOVE "${IMAGE}")
    message("Signing ${IMAGE} ${SIGNER} failed:\n${why}")
    message(FATAL_ERROR "No image is left at\n    ${IMAGE}\n")
  endfunction()

  function(lumiran_sign_with_osslsigncode)
    set(args sign -h sha256 -n "Lumiran Setup")
    if(ROUTE STREQUAL "pkcs12")
      list(APPEND args -pkcs12 "${PKCS12}")
    else()
      # No -pkcs11engine: OpenSSL finds libp11's engine by its name, which
      # osslsigncode 2.5 and 2.9 both take, where 2.5 refuses a path. The
      # URI's semicolons stay in its one argument.
      string(REPLACE ";" "\\;" key "${PKCS11_KEY}")
      list(APPEND args -pkcs11module "${PKCS11_MODULE}" -key "${key}" -certs "${CERT}")
    endif()
    if(PASSWORD_FILE)
      file(READ "${PASSWORD_FILE}" password)
      string(REGEX REPLACE "\r?\n$" "" password "${password}")
      if(NOT password STREQUAL "")
        list(APPEND args -readpass "${PASSWORD_FILE}")
      endif()
      unset(password)
    endif()
    foreach(url IN LISTS TIMESTAMP_URLS)
      list(APPEND args -ts "${url}")
    endforeach()
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
      if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
        lumiran_sign_fail("SOURCE_DATE_EPOCH is '$ENV{SOURCE_DATE_EPOCH}', not a number of seconds.")
      endif()
      list(APPEND args -time "$ENV{SOURCE_DATE_EPOCH}")
    endif()
    # Run once and never again on failure: a token locks after a few wrong PINs.
    execute_process(COMMAND "${OSSLSIGNCODE}" ${args} -in "${lumiran_unsigned}" -out "${lumiran_staged}"
                    RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
    if(result EQUAL 0)
      return()
    elseif(log MATCHES "PIN incorrect|PIN_INCORRECT")
      lumiran_sign_fail("The token refused the PIN in ${PASSWORD_FILE}.\n\
It was tried once and not again, since tokens lock after a few wrong tries.\n${log}")
    elseif(log MATCHES "PIN locked|PIN_LOCKED")
      lumiran_sign_fail("The token's PIN is locked; unlock it with the token's own tools.\n${log}")
    elseif(log MATCHES "timestamping failed")
      lumiran_sign_fail("No timestamp server answered: ${TIMESTAMP_URLS}\n${log}")
    endif()
    lumiran_sign_fail("osslsigncode exited with ${result}:\n${log}")
  endfunction()

  function(lumiran_sign_with_command)
    file(COPY "${lumiran_unsigned}" DESTINATION "${STAGING}")
    set(command "")
    foreach(item IN LISTS SIGN_COMMAND)
      string(REPLACE "@FILE@" "${lumiran_staged}" item "${item}")
      list(APPEND command "${item}")
    endforeach()
    # No shell: each item is one argument, spaces and all. Its output is the
    # build's, as is its terminal, should it ask for anything.
    execute_process(COMMAND ${command} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      lumiran_sign_fail("The command exited with ${result}.")
    endif()
  endfunction()

  # The signature must be there and must be over these bytes. Whether its
  # certificate is trusted is for `osslsigncode verify` with the publisher's
  # trust anchors, so only the digests are read from it here.
  function(lumiran_sign_check file)
    if(NOT EXISTS "${file}")
      lumiran_sign_fail("${file} is gone after signing.")
    endif()
    execute_process(COMMAND "${OSSLSIGNCODE}" extract-signature -in "${file}" -out "${STAGING}/signature"
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(NOT result EQUAL 0)
      lumiran_sign_fail("${file} carries no Authenticode signature after signing:\n\
nothing signed it, or another file was signed in its place.")
    endif()
    execute_process(COMMAND "${OSSLSIGNCODE}" verify ${VERIFY_OPTIONS} -in "${file}"
                    OUTPUT_VARIABLE log ERROR_VARIABLE log)
    string(REGEX MATCHALL "Current message digest *: *[0-9A-Fa-f]+" signed "${log}")
    string(REGEX MATCHALL "Calculated message digest *: *[0-9A-Fa-f]+" calculated "${log}")
    list(TRANSFORM signed REPLACE ".*: *" "")
    list(TRANSFORM calculated REPLACE ".*: *" "")
    if(NOT signed OR NOT signed STREQUAL calculated)
      lumiran_sign_fail("The signature's digest (${signed}) does not match the image's bytes (${calculated}):\n\
the image was changed after it was signed.\n${log}")
    endif()
  endfunction()

  file(REMOVE_RECURSE "${STAGING}")
  file(MAKE_DIRECTORY "${STAGING}/unsigned")
  file(RENAME "${IMAGE}" "${lumiran_unsigned}")
  if(ROUTE STREQUAL "command")
    lumiran_sign_with_command()
  else()
    lumiran_sign_with_osslsigncode()
  endif()
  lumiran_sign_check("${lumiran_staged}")
  file(RENAME "${lumiran_staged}" "${IMAGE}")
  file(REMOVE_RECURSE "${STAGING}")
  return()
endif()

set(LUMIRAN_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file with the certificate and key that sign the setup image; empty: not this way")
set(LUMIRAN_SIGN_PKCS11_MODULE "" CACHE FILEPATH
    "PKCS#11 library of the token or HSM that holds the signing key; empty: not this way")
set(LUMIRAN_SIGN_PKCS11_KEY "" CACHE STRING
    "The signing key in LUMIRAN_SIGN_PKCS11_MODULE, as a pkcs11: URI (RFC 7512)")
set(LUMIRAN_SIGN_CERT "" CACHE FILEPATH
    "PEM file with the certificate of LUMIRAN_SIGN_PKCS11_KEY and its chain")
set(LUMIRAN_SIGN_PASSWORD_FILE "" CACHE FILEPATH
    "File holding the password of LUMIRAN_SIGN_PKCS12 or the token's PIN; empty, or an empty file: none")
set(LUMIRAN_SIGN_COMMAND "" CACHE STRING
    "Command that signs the image in place, a list of program and arguments, @FILE@ for the image; empty: not this way")
set(LUMIRAN_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 timestamp servers, a list tried in order, for PKCS#12 and PKCS#11; empty: no timestamp")

set(lumiran_sign_pkcs11 "")
set(lumiran_sign_pkcs11_missing "")
foreach(option LUMIRAN_SIGN_PKCS11_MODULE LUMIRAN_SIGN_PKCS11_KEY LUMIRAN_SIGN_CERT)
  if(${option})
    list(APPEND lumiran_sign_pkcs11 ${option})
  else()
    list(APPEND lumiran_sign_pkcs11_missing ${option})
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
  message(STATUS "Setup image: not signed (no LUMIRAN_SIGN_PKCS12, LUMIRAN_SIGN_PKCS11_... or LUMIRAN_SIGN_COMMAND)")
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
  list(GET LUMIRAN_SIGN_COMMAND 0 lumiran_sign_program)
  if(NOT IS_ABSOLUTE "${lumiran_sign_program}")
    find_program(lumiran_sign_found "${lumiran_sign_program}" NO_CACHE)
    if(lumiran_sign_found)
      set(lumiran_sign_program "${lumiran_sign_found}")
    endif()
  endif()
  if(NOT EXISTS "${lumiran_sign_program}" OR IS_DIRECTORY "${lumiran_sign_program}")
    message(FATAL_ERROR "LUMIRAN_SIGN_COMMAND: there is no program\n    ${lumiran_sign_program}\n")
  endif()
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
  lumiran_sign_require_file(LUMIRAN_SIGN_CERT "certificate file")
  set(lumiran_sign_signer "with the key ${LUMIRAN_SIGN_PKCS11_KEY} through ${LUMIRAN_SIGN_PKCS11_MODULE}")
  set(lumiran_sign_inputs ${LUMIRAN_SIGN_PKCS11_MODULE} ${LUMIRAN_SIGN_CERT})
else()
  lumiran_sign_require_file(LUMIRAN_SIGN_PKCS12 "PKCS#12 file (certificate and key)")
  set(lumiran_sign_signer "with ${LUMIRAN_SIGN_PKCS12}")
  set(lumiran_sign_inputs ${LUMIRAN_SIGN_PKCS12})
endif()
if(LUMIRAN_SIGN_PASSWORD_FILE)
  lumiran_sign_require_file(LUMIRAN_SIGN_PASSWORD_FILE "password file")
  list(APPEND lumiran_sign_inputs ${LUMIRAN_SIGN_PASSWORD_FILE})
  set(lumiran_sign_password ", the password or PIN in ${LUMIRAN_SIGN_PASSWORD_FILE}")
elseif(NOT lumiran_sign_route STREQUAL "command")
  set(lumiran_sign_password ", without a password")
endif()

# osslsigncode also checks the signature every way makes.
find_program(LUMIRAN_OSSLSIGNCODE osslsigncode)
if(NOT LUMIRAN_OSSLSIGNCODE)
  message(FATAL_ERROR "Signing is on but osslsigncode was not found (Debian package osslsigncode): "
          "it signs the image or checks the signature a command made.")
endif()
# The check reads digests only and needs no network: these options, where
# osslsigncode has them (2.9 does, 2.5 not), keep its verification from
# fetching the certificate's revocation lists.
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
             PKCS12=LUMIRAN_SIGN_PKCS12 PKCS11_MODULE=LUMIRAN_SIGN_PKCS11_MODULE
             PKCS11_KEY=LUMIRAN_SIGN_PKCS11_KEY CERT=LUMIRAN_SIGN_CERT
             PASSWORD_FILE=LUMIRAN_SIGN_PASSWORD_FILE SIGN_COMMAND=LUMIRAN_SIGN_COMMAND
             TIMESTAMP_URLS=LUMIRAN_SIGN_TIMESTAMP_URL VERIFY_OPTIONS=lumiran_sign_verify_options)
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

add_custom_command(TARGET lumiran_setup POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DIMAGE=$<TARGET_FILE:lumiran_setup> -DSTAGING=${CMAKE_BINARY_DIR}/signing
          -DSETTINGS=${LUMIRAN_SIGN_SETTINGS} -P ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Signing the setup image ${lumiran_sign_signer}"
  VERBATIM)
set_property(TARGET lumiran_setup APPEND PROPERTY LINK_DEPENDS
             ${LUMIRAN_SIGN_SETTINGS} ${CMAKE_CURRENT_LIST_FILE} ${lumiran_sign_inputs})
if(LUMIRAN_SIGN_TIMESTAMP_URL)
  list(JOIN LUMIRAN_SIGN_TIMESTAMP_URL ", then " lumiran_sign_servers)
  set(lumiran_sign_timestamp ", timestamped by ${lumiran_sign_servers}")
elseif(NOT lumiran_sign_route STREQUAL "command")
  set(lumiran_sign_timestamp ", without a timestamp")
endif()
message(STATUS "Setup image: signed ${lumiran_sign_signer}${lumiran_sign_password}${lumiran_sign_timestamp}")
