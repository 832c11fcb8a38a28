# Makes sure that the delay-load address tables of a linked image are
# writable, or stops the build and removes the image.
#
#   cmake -DIMAGE=/path/to/image.exe -DDLLS=USER32.dll,ole32.dll,... -P writable_delay_iat.cmake
#
# The first call into a delay-loaded DLL makes mingw-w64's helper write the
# function's address into that DLL's address table. In a read-only section
# the write faults, and the program crashes at its first call into user32,
# on Windows as under Wine. binutils 2.40 (Debian 12) leaves .idata, where
# dlltool's delay-import libraries put the table, writable; 2.44 (Debian 13)
# links .idata read-only whatever its input says; 2.47 moves the table into
# a writable .didat section of its own. So the write permission is set here,
# after the link and before signing, which keeps the image the same for every
# binutils. Only .idata and .didat, which hold nothing but import tables, are
# made writable: a table anywhere else stops the build instead.
#
# GNU ld leaves the delay-import data directory empty, so each table is found
# through its descriptor (attributes 1, then the RVA of the DLL's name),
# wherever the toolchain put it. The resource section, which holds the
# payload, is not searched. The bytes change in place with dd: a publisher's
# build machine has coreutils, cmake and binutils, and nothing else is
# needed. The PE checksum is updated with them, so it stays right.
cmake_minimum_required(VERSION 3.20)

function(lumiran_refuse)
  string(JOIN "" why ${ARGN})
  file(REMOVE "${IMAGE}")
  message(FATAL_ERROR "${IMAGE}\n  ${why}\n"
                      "No image is left behind: it would crash at its first call into a delay-loaded DLL.")
endfunction()

# Hex digits with the order of their bytes reversed: file order to number
# order and back (little-endian).
function(lumiran_swap_bytes out hex)
  set(swapped "")
  string(LENGTH "${hex}" length)
  math(EXPR last "${length} - 2")
  foreach(at RANGE 0 ${last} 2)
    string(SUBSTRING "${hex}" ${at} 2 byte)
    set(swapped "${byte}${swapped}")
  endforeach()
  set(${out} ${swapped} PARENT_SCOPE)
endfunction()

# Little-endian unsigned integer of SIZE bytes at OFFSET of the image.
function(lumiran_read_uint out offset size)
  math(EXPR offset "${offset}")
  file(READ "${IMAGE}" hex OFFSET ${offset} LIMIT ${size} HEX)
  string(LENGTH "${hex}" length)
  math(EXPR expected "2 * ${size}")
  if(NOT length EQUAL expected)
    lumiran_refuse("is cut short: it ends inside its PE headers.")
  endif()
  lumiran_swap_bytes(value "${hex}")
  math(EXPR value "0x${value}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# The same integer as hex digits in file order, as file(READ ... HEX) gives them.
function(lumiran_uint_hex out value size)
  math(EXPR hex "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${hex}" 2 -1 hex)
  math(EXPR digits "2 * ${size}")
  string(LENGTH "${hex}" length)
  while(length LESS digits)
    set(hex "0${hex}")
    math(EXPR length "${length} + 1")
  endwhile()
  lumiran_swap_bytes(bytes "${hex}")
  set(${out} ${bytes} PARENT_SCOPE)
endfunction()

# Byte offsets at which NEEDLE (hex) starts in HAYSTACK (hex) on a boundary
# of ALIGN bytes.
function(lumiran_find_aligned out haystack needle align)
  set(found "")
  set(base 0)
  math(EXPR align "2 * ${align}")
  while(TRUE)
    string(FIND "${haystack}" "${needle}" at)
    if(at EQUAL -1)
      break()
    endif()
    math(EXPR position "${base} + ${at}")
    math(EXPR misaligned "${position} % ${align}")
    if(misaligned EQUAL 0)
      math(EXPR byte "${position} / 2")
      list(APPEND found ${byte})
    endif()
    math(EXPR skip "${at} + 1")
    string(SUBSTRING "${haystack}" ${skip} -1 haystack)
    math(EXPR base "${base} + ${skip}")
  endwhile()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Writes the little-endian SIZE bytes of VALUE at OFFSET of the image.
function(lumiran_write_uint offset value size)
  math(EXPR offset "${offset}")
  set(escapes "")
  math(EXPR last "${size} * 8 - 8")
  foreach(shift RANGE 0 ${last} 8)
    math(EXPR byte "(${value} >> ${shift}) & 255")
    math(EXPR digits "${byte} / 64 * 100 + ${byte} / 8 % 8 * 10 + ${byte} % 8")
    string(LENGTH "${digits}" length)
    math(EXPR start "${length} - 1")
    string(SUBSTRING "00${digits}" ${start} 3 digits)
    string(APPEND escapes "\\${digits}")
  endforeach()
  set(bytes "${IMAGE}.bytes")
  execute_process(COMMAND printf "${escapes}" OUTPUT_FILE "${bytes}" RESULT_VARIABLE printed)
  execute_process(COMMAND dd "if=${bytes}" "of=${IMAGE}" bs=1 seek=${offset} count=${size}
                          conv=notrunc status=none
                  RESULT_VARIABLE written)
  file(REMOVE "${bytes}")
  if(NOT printed EQUAL 0 OR NOT written EQUAL 0)
    lumiran_refuse("could not be changed in place with printf and dd (coreutils).")
  endif()
endfunction()

if(NOT IMAGE OR NOT EXISTS "${IMAGE}")
  message(FATAL_ERROR "writable_delay_iat.cmake: no image at '${IMAGE}'")
endif()
string(REPLACE "," ";" dlls "${DLLS}")

lumiran_read_uint(pe 60 4)
file(READ "${IMAGE}" signature OFFSET ${pe} LIMIT 4 HEX)
if(NOT signature STREQUAL "50450000")
  lumiran_refuse("has no PE signature.")
endif()
lumiran_read_uint(section_count "${pe} + 6" 2)
lumiran_read_uint(optional_size "${pe} + 20" 2)
math(EXPR checksum_at "${pe} + 24 + 64")
math(EXPR table "${pe} + 24 + ${optional_size}")

# The section table, and the raw data of every section but the resources.
math(EXPR last "${section_count} - 1")
foreach(i RANGE 0 ${last})
  math(EXPR header "${table} + 40 * ${i}")
  file(READ "${IMAGE}" name_hex OFFSET ${header} LIMIT 8 HEX)
  string(REGEX REPLACE "(00)+$" "" name_hex "${name_hex}")
  set(name "")
  string(LENGTH "${name_hex}" length)
  while(length GREATER 0)
    string(SUBSTRING "${name_hex}" 0 2 byte)
    string(SUBSTRING "${name_hex}" 2 -1 name_hex)
    math(EXPR byte "0x${byte}")
    string(ASCII ${byte} char)
    string(APPEND name "${char}")
    math(EXPR length "${length} - 2")
  endwhile()
  set(section_name_${i} "${name}")
  set(section_header_${i} ${header})
  lumiran_read_uint(section_vsize_${i} "${header} + 8" 4)
  lumiran_read_uint(section_rva_${i} "${header} + 12" 4)
  lumiran_read_uint(section_rsize_${i} "${header} + 16" 4)
  lumiran_read_uint(section_raw_${i} "${header} + 20" 4)
  lumiran_read_uint(section_flags_${i} "${header} + 36" 4)
  set(section_hex_${i} "")
  if(NOT name STREQUAL ".rsrc" AND section_rsize_${i} GREATER 0)
    file(READ "${IMAGE}" section_hex_${i} OFFSET ${section_raw_${i}} LIMIT ${section_rsize_${i}} HEX)
  endif()
endforeach()

# The RVA of DLL's address table, read from its descriptor (attributes 1,
# then the RVA of the DLL's name), or "" when there is none.
function(lumiran_delay_table out dll)
  set(${out} "" PARENT_SCOPE)
  string(HEX "${dll}" name_hex)
  foreach(i RANGE 0 ${last})
    lumiran_find_aligned(names "${section_hex_${i}}" "${name_hex}00" 1)
    foreach(at IN LISTS names)
      math(EXPR name_rva "${section_rva_${i}} + ${at}")
      lumiran_uint_hex(name_rva_hex ${name_rva} 4)
      foreach(j RANGE 0 ${last})
        lumiran_find_aligned(descriptors "${section_hex_${j}}" "01000000${name_rva_hex}" 4)
        if(descriptors)
          list(GET descriptors 0 descriptor)
          lumiran_read_uint(iat "${section_raw_${j}} + ${descriptor} + 12" 4)
          set(${out} ${iat} PARENT_SCOPE)
          return()
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()

# The index of the section that holds RVA, or "".
function(lumiran_section_of out rva)
  set(${out} "" PARENT_SCOPE)
  foreach(i RANGE 0 ${last})
    set(size ${section_vsize_${i}})
    if(section_rsize_${i} GREATER size)
      set(size ${section_rsize_${i}})
    endif()
    math(EXPR end "${section_rva_${i}} + ${size}")
    if(rva GREATER_EQUAL section_rva_${i} AND rva LESS end)
      set(${out} ${i} PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

set(IMAGE_SCN_MEM_WRITE 0x80000000)
foreach(dll IN LISTS dlls)
  lumiran_delay_table(iat ${dll})
  if(iat STREQUAL "")
    lumiran_refuse("has no delay-load descriptor for ${dll}, so whether its address table is writable cannot be told.")
  endif()
  lumiran_section_of(home ${iat})
  if(home STREQUAL "")
    math(EXPR iat_hex "${iat}" OUTPUT_FORMAT HEXADECIMAL)
    lumiran_refuse("has the delay-load address table of ${dll} at RVA ${iat_hex}, outside every section.")
  endif()
  set(name "${section_name_${home}}")
  set(flags ${section_flags_${home}})
  math(EXPR writable "${flags} & ${IMAGE_SCN_MEM_WRITE}")
  if(writable)
    continue()
  endif()
  if(NOT name STREQUAL ".idata" AND NOT name STREQUAL ".didat")
    lumiran_refuse("has the delay-load address table of ${dll} in the read-only section ${name}, "
                   "and only .idata or .didat may be made writable.\n"
                   "  Link it with a binutils that leaves the table writable (see README).")
  endif()

  # Sets the bit, and moves the checksum by as much: it is a 16-bit
  # one's-complement sum of the file's words (kept in 1..0xFFFF) plus its size.
  math(EXPR new_flags "${flags} | ${IMAGE_SCN_MEM_WRITE}")
  lumiran_read_uint(checksum ${checksum_at} 4)
  file(SIZE "${IMAGE}" image_size)
  math(EXPR sum "${checksum} - ${image_size}")
  if(sum GREATER_EQUAL 1 AND sum LESS_EQUAL 65535)
    math(EXPR sum "(${sum} - 1 + (${new_flags} >> 16) - (${flags} >> 16)) % 65535 + 1")
    math(EXPR checksum "(${sum} + ${image_size}) & 0xFFFFFFFF")
    lumiran_write_uint(${checksum_at} ${checksum} 4)
  endif()
  lumiran_write_uint("${section_header_${home}} + 36" ${new_flags} 4)
  lumiran_read_uint(section_flags_${home} "${section_header_${home}} + 36" 4)
  math(EXPR writable "${section_flags_${home}} & ${IMAGE_SCN_MEM_WRITE}")
  if(NOT writable)
    lumiran_refuse("kept its section ${name} read-only after it was made writable.")
  endif()
  message(STATUS "${name} made writable for the delay-load address table of ${dll} (this linker made it read-only)")
endforeach()
