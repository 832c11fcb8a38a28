# The signing step of the setup image, run by the build in script mode (see
# signing.cmake, which adds it and explains the options):
#
#   cmake -DLINKED=... -DIMAGE=... -DSTAGING=... -DSETTINGS=... -DREFUSED=... -P sign_image.cmake
#
# LINKED is the image as the linker wrote it, IMAGE its path once signed,
# STAGING a folder of this step's own, SETTINGS the file the configuration
# wrote with the signing options, REFUSED the record of a PIN file the token
# refused.
#
# IMAGE is this step's output and nobody else's: it goes first, and comes
# back by a rename only once signed and checked. A build killed at any
# instant, SIGKILL included, leaves no image there or a finished one, and
# the next build runs this step again whenever there is none.

cmake_policy(VERSION 3.20)
include("${SETTINGS}")
get_filename_component(name "${IMAGE}" NAME)
set(staged "${STAGING}/${name}")

# WHY is printed as it stands, where an error's text would be rewrapped.
function(sign_fail why)
  file(REMOVE_RECURSE "${STAGING}")
  message("Signing ${IMAGE} ${SIGNER} failed:\n${why}")
  message(FATAL_ERROR "No image is left at\n    ${IMAGE}\n")
endfunction()

# What tells one version of a file from the next (device, inode, size, time
# of the last change), and nothing read from it: a PIN is a few digits, so
# even a hash of it would give it away.
function(file_identity path out)
  execute_process(COMMAND stat -L -c "%d %i %s %y" "${path}"
                  OUTPUT_VARIABLE identity OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(${out} "${identity}" PARENT_SCOPE)
endfunction()

# Tokens lock after a few wrong PINs, and a build can be started again and
# again: a PIN file the token refused is not offered again until it changes.
function(refuse_refused_pin_file)
  if(NOT EXISTS "${REFUSED}")
    return()
  endif()
  include("${REFUSED}")
  file_identity("${PASSWORD_FILE}" identity)
  if(REFUSED_FILE STREQUAL PASSWORD_FILE AND REFUSED_IDENTITY STREQUAL identity)
    sign_fail("The token refused the PIN in ${PASSWORD_FILE} at ${REFUSED_AT}.\n\
The file has not changed since, so the token was not tried again: tokens lock after a few wrong tries.\n\
Put the right PIN in the file.")
  endif()
  file(REMOVE "${REFUSED}")
endfunction()

function(sign_with_osslsigncode out)
  set(args sign -h sha256 -n "Lumiran Setup")
  if(ROUTE STREQUAL "pkcs12")
    list(APPEND args -pkcs12 "${PKCS12}")
  else()
    # No -pkcs11engine: OpenSSL finds libp11's engine by its name, which
    # osslsigncode 2.5 and 2.9 both take, where 2.5 refuses a path; from
    # 2.10 on osslsigncode takes libp11's provider where there is one. The
    # URI's semicolons stay in its one argument.
    string(REPLACE ";" "\\;" key "${PKCS11_KEY}")
    list(APPEND args -pkcs11module "${PKCS11_MODULE}" -key "${key}" -certs "${CERT}")
  endif()
  if(PASSWORD_FILE)
    if(NOT EXISTS "${PASSWORD_FILE}")
      sign_fail("LUMIRAN_SIGN_PASSWORD_FILE: there is no password file at\n    ${PASSWORD_FILE}\n\
The image must be signed again, and only that file gives the password or PIN.")
    endif()
    refuse_refused_pin_file()
    file(READ "${PASSWORD_FILE}" password)
    string(REGEX REPLACE "\r?\n$" "" password "${password}")
    if(NOT password STREQUAL "")
      list(APPEND args -readpass "${PASSWORD_FILE}")
    endif()
    unset(password)
  endif()
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
      sign_fail("SOURCE_DATE_EPOCH is '$ENV{SOURCE_DATE_EPOCH}', not a number of seconds.")
    endif()
    list(APPEND args -time "$ENV{SOURCE_DATE_EPOCH}")
  endif()
  # Run once and never again on failure: a token locks after a few wrong PINs.
  execute_process(COMMAND "${OSSLSIGNCODE}" ${args} -in "${LINKED}" -out "${out}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(result EQUAL 0)
    return()
  elseif(log MATCHES "PIN incorrect|PIN_INCORRECT")
    if(PASSWORD_FILE)
      file_identity("${PASSWORD_FILE}" identity)
      string(TIMESTAMP now "%Y-%m-%d %H:%M:%S")
      file(WRITE "${REFUSED}" "set(REFUSED_FILE [==[${PASSWORD_FILE}]==])\n"
                              "set(REFUSED_IDENTITY [==[${identity}]==])\nset(REFUSED_AT [==[${now}]==])\n")
    endif()
    sign_fail("The token refused the PIN in ${PASSWORD_FILE}.\n\
It was tried once, and is not tried again until the file changes: tokens lock after a few wrong tries.\n${log}")
  elseif(log MATCHES "PIN locked|PIN_LOCKED")
    sign_fail("The token's PIN is locked; unlock it with the token's own tools.\n${log}")
  endif()
  sign_fail("osslsigncode exited with ${result}:\n${log}")
endfunction()

# The key signs once, without a timestamp; the servers are then asked in
# their order, each for TIMESTAMP_TIMEOUT seconds at most: osslsigncode
# itself would wait on a server that never answers for good.
function(add_timestamp signed)
  set(seen "")
  foreach(url IN LISTS TIMESTAMP_URLS)
    execute_process(COMMAND "${OSSLSIGNCODE}" add -h sha256 -ts "${url}" -in "${signed}" -out "${staged}"
                    TIMEOUT ${TIMESTAMP_TIMEOUT} RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
    if(result EQUAL 0)
      return()
    elseif(result MATCHES "timeout")
      string(APPEND seen "${url}: no answer within ${TIMESTAMP_TIMEOUT} s\n")
    else()
      string(APPEND seen "${url}: osslsigncode exited with ${result}:\n${log}\n")
    endif()
    file(REMOVE "${staged}")
  endforeach()
  sign_fail("No timestamp server answered. In their order:\n${seen}")
endfunction()

function(sign_with_command)
  file(COPY "${LINKED}" DESTINATION "${STAGING}")
  set(command "")
  foreach(item IN LISTS SIGN_COMMAND)
    string(REPLACE "@FILE@" "${staged}" item "${item}")
    list(APPEND command "${item}")
  endforeach()
  # No shell: each item is one argument, spaces and all. Its output is the
  # build's, as is its terminal, should it ask for anything.
  execute_process(COMMAND ${command} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    sign_fail("The command exited with ${result}.")
  endif()
endfunction()

# A little-endian number of SIZE bytes at OFFSET in FILE.
function(read_number file offset size out)
  file(READ "${file}" hex OFFSET ${offset} LIMIT ${size} HEX)
  string(REGEX MATCHALL ".." bytes "${hex}")
  list(REVERSE bytes)
  string(JOIN "" hex 0 ${bytes})
  math(EXPR value "0x${hex}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# The signed file holds the linked image byte for byte, but for the two
# fields that signing changes (the header checksum and the Security
# directory entry), then the certificate table, which starts at TABLE_OUT,
# and nothing else.
function(check_is_linked_image file table_out)
  file(SIZE "${LINKED}" linked_size)
  file(SIZE "${file}" size)
  read_number("${LINKED}" 60 4 pe)
  math(EXPR checksum "${pe} + 88")
  math(EXPR security "${pe} + 168")
  foreach(range "0;${checksum}" "${checksum} + 4;${security}" "${security} + 8;${linked_size}")
    list(GET range 0 from)
    list(GET range 1 to)
    math(EXPR from "${from}")
    math(EXPR length "${to} - ${from}")
    execute_process(COMMAND cmp -i ${from} -n ${length} "${LINKED}" "${file}"
                    RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
    if(NOT result EQUAL 0)
      string(REGEX MATCH "byte ([0-9]+)" at "${log}")
      math(EXPR at "${from} + 0${CMAKE_MATCH_1} - 1")
      sign_fail("The signed file is not the image that was linked: another file was signed, or the image \
was changed after signing.\nThey differ first at byte ${at}; the signed file has ${size} bytes, \
the linked image ${linked_size}.")
    endif()
  endforeach()
  math(EXPR security_size "${security} + 4")
  read_number("${file}" ${security} 4 table)
  read_number("${file}" ${security_size} 4 table_size)
  math(EXPR padded "(${linked_size} + 7) / 8 * 8")
  math(EXPR end "${table} + ${table_size}")
  if(table EQUAL 0)
    sign_fail("${file} carries no Authenticode signature after signing:\n\
nothing signed it, or another file was signed in its place.")
  elseif(NOT table EQUAL padded)
    sign_fail("The signature does not follow the linked image: its table starts at byte ${table}, \
the image ends at ${linked_size}.")
  elseif(end LESS size)
    math(EXPR after "${size} - ${end}")
    sign_fail("${after} bytes follow the signature: data was appended to the image after it was signed.")
  elseif(end GREATER size)
    sign_fail("The signature's table runs ${table_size} bytes from byte ${table}, past the end of the \
file (${size} bytes): the signature is cut short.")
  endif()
  set(${table_out} ${table} PARENT_SCOPE)
endfunction()

# The signature proves three things, without the network or a CA bundle:
# it is over this image (above, and its digest is the image's), it verifies
# with the certificate it carries and SHA-256 or stronger, and its signer is
# one of the certificates in LUMIRAN_SIGN_CERT when that is named (its own;
# the chain's others are CAs'). Whether a CA vouches for it is the
# publisher's own check (README).
function(check_signature file table)
  set(dir "${STAGING}/check")
  file(MAKE_DIRECTORY "${dir}")
  # The table's first WIN_CERTIFICATE holds, after 8 bytes of its own, the
  # PKCS#7 signature, padded: cut at the length its DER header gives, a
  # byte under 0x80 or 0x80 + N and N bytes big-endian. (osslsigncode's
  # extract-signature gives the whole table from one version and the
  # signature alone from another.)
  math(EXPR from "${table} + 8")
  file(READ "${file}" header OFFSET ${from} LIMIT 6 HEX)
  string(SUBSTRING "${header}" 2 2 first)
  math(EXPR first "0x0${first}")
  set(length ${first})
  set(header_size 2)
  if(first GREATER 128 AND first LESS 133)
    math(EXPR digits "(${first} - 128) * 2")
    string(SUBSTRING "${header}" 4 ${digits} length)
    math(EXPR length "0x${length}")
    math(EXPR header_size "2 + ${digits} / 2")
  endif()
  math(EXPR length "${header_size} + ${length}")
  math(EXPR from "${from} + 1")
  execute_process(COMMAND tail -c +${from} "${file}" COMMAND head -c ${length}
                  OUTPUT_FILE "${dir}/signature.der")
  # The signed content, an Authenticode SpcIndirectDataContent, is the
  # first SEQUENCE inside the first [0] at depth 4. Its digest is taken over
  # the content without its own tag and length, which is what openssl is
  # handed: given the whole signature it would take them in.
  execute_process(COMMAND "${OPENSSL}" asn1parse -inform DER -in "${dir}/signature.der"
                  RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT result EQUAL 0 OR NOT log MATCHES "d=4 +hl= *[0-9]+ l= *[0-9]+ cons: +cont \\[ 0 \\] *\n *([0-9]+):d=5 +hl= *([0-9]+) l= *([0-9]+) cons: +SEQUENCE")
    sign_fail("The signature is no Authenticode PKCS#7 signature; openssl asn1parse read:\n${log}")
  endif()
  math(EXPR offset "${CMAKE_MATCH_1} + ${CMAKE_MATCH_2}")
  execute_process(COMMAND "${OPENSSL}" asn1parse -inform DER -in "${dir}/signature.der" -noout
                          -offset ${offset} -length ${CMAKE_MATCH_3} -out "${dir}/content.der"
                  RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT result EQUAL 0)
    sign_fail("openssl cannot take the signed content out of the signature:\n${log}")
  endif()
  execute_process(COMMAND "${OPENSSL}" smime -verify -noverify -binary -inform DER -in "${dir}/signature.der"
                          -content "${dir}/content.der" -signer "${dir}/signer.pem" -out "${dir}/verified"
                  RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT result EQUAL 0)
    sign_fail("The signature does not verify with the certificate it carries: it is broken.\n${log}")
  endif()

  # The signer's own certificate stands in for the CAs, so that the
  # digests are printed whether or not the system has a CA bundle; whether
  # osslsigncode then trusts the chain is not this check's concern.
  execute_process(COMMAND "${OSSLSIGNCODE}" verify ${VERIFY_OPTIONS} -CAfile "${dir}/signer.pem"
                          -TSA-CAfile "${dir}/signer.pem" -in "${file}"
                  OUTPUT_VARIABLE log ERROR_VARIABLE log)
  string(REGEX MATCH "Current message digest *: *([0-9A-Fa-f]+)" signed "${log}")
  set(signed "${CMAKE_MATCH_1}")
  string(REGEX MATCH "Calculated message digest *: *([0-9A-Fa-f]+)" calculated "${log}")
  set(calculated "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "Message digest algorithm *: *[A-Za-z0-9-]+" algorithms "${log}")
  list(TRANSFORM algorithms REPLACE ".*: *" "")
  if(signed STREQUAL "" OR calculated STREQUAL "" OR NOT algorithms)
    sign_fail("osslsigncode verify printed no message digests and algorithms; it said:\n${log}")
  elseif(NOT signed STREQUAL calculated)
    sign_fail("The signature's digest (${signed}) does not match the image's bytes (${calculated}):\n\
the image was changed after it was signed.\n${log}")
  endif()
  foreach(algorithm IN LISTS algorithms)
    if(NOT algorithm MATCHES "^SHA(256|384|512)$")
      sign_fail("The signature uses ${algorithm}; Windows wants SHA-256 or stronger (SHA256, SHA384, SHA512).")
    endif()
  endforeach()

  if(CERT)
    # The same certificate has the same DER encoding, and so the same Base64.
    file(READ "${CERT}" named)
    file(READ "${dir}/signer.pem" signer)
    string(REGEX MATCHALL "-----BEGIN CERTIFICATE-----[^-]+" named "${named}")
    string(REGEX MATCH "-----BEGIN CERTIFICATE-----[^-]+" signer "${signer}")
    string(REGEX REPLACE "[ \t\r\n]" "" named "${named}")
    string(REGEX REPLACE "[ \t\r\n]" "" signer "${signer}")
    if(NOT signer IN_LIST named)
      execute_process(COMMAND "${OPENSSL}" x509 -noout -subject -in "${dir}/signer.pem"
                      OUTPUT_VARIABLE subject OUTPUT_STRIP_TRAILING_WHITESPACE)
      sign_fail("The image was signed by another certificate than LUMIRAN_SIGN_CERT's:\n    ${subject}\n\
is none of the certificates in\n    ${CERT}\n")
    endif()
  endif()
endfunction()

file(REMOVE "${IMAGE}")
file(REMOVE_RECURSE "${STAGING}")
file(MAKE_DIRECTORY "${STAGING}")
if(ROUTE STREQUAL "command")
  sign_with_command()
elseif(TIMESTAMP_URLS)
  sign_with_osslsigncode("${STAGING}/untimed.exe")
  add_timestamp("${STAGING}/untimed.exe")
else()
  sign_with_osslsigncode("${staged}")
endif()
if(NOT EXISTS "${staged}")
  sign_fail("${staged} is gone after signing.")
endif()
check_is_linked_image("${staged}" table)
check_signature("${staged}" ${table})
file(RENAME "${staged}" "${IMAGE}")
file(REMOVE_RECURSE "${STAGING}")
