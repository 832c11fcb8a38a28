# The payload is an input of the build: LUMIRAN_SUITE_EXE names the suite
# executable to embed; without it the stand-in suite from suite/ is embedded.
set(LUMIRAN_SUITE_EXE "" CACHE FILEPATH "Suite executable (Lumiran.exe) to embed as the payload")
include(${CMAKE_CURRENT_LIST_DIR}/check_payload.cmake)

if(LUMIRAN_SUITE_EXE)
  get_filename_component(LUMIRAN_PAYLOAD "${LUMIRAN_SUITE_EXE}" ABSOLUTE)
  lumiran_check_payload("${LUMIRAN_PAYLOAD}")
else()
  set(LUMIRAN_PAYLOAD "${CMAKE_BINARY_DIR}/suite/Lumiran.exe")
endif()

set(LUMIRAN_RESOURCES_DIR ${CMAKE_SOURCE_DIR}/resources)
file(READ ${CMAKE_SOURCE_DIR}/resources/setup.rc.in LUMIRAN_RC_TEMPLATE)

if(LUMIRAN_SUITE_EXE)
  # Checked again on every build, so that a payload that went missing since
  # the configuration stops the build with the same message.
  add_custom_target(lumiran_payload_check
    COMMAND ${CMAKE_COMMAND} -DLUMIRAN_PAYLOAD=${LUMIRAN_PAYLOAD} -P ${LUMIRAN_RESOURCES_DIR}/check_payload.cmake
    VERBATIM)
endif()

# The setup image of one version, DIR/Lumiran-Setup-VERSION-x64.exe, from
# CORE (lumiran_add_core of that version) and a resource script made for it,
# DIR/setup.rc, whose version block names that version and that file.
# DIR/version.txt names the version for the scripts that run the image (the
# demo, the benchmark, the tests).
function(lumiran_add_setup_image target version core dir)
  file(CONFIGURE OUTPUT ${dir}/version.txt CONTENT "${version}\n")
  set(LUMIRAN_IMAGE_VERSION ${version})
  lumiran_split_version("${version}" LUMIRAN_IMAGE_VERSION)
  set(LUMIRAN_IMAGE_NAME Lumiran-Setup-${version}-x64)
  string(CONFIGURE "${LUMIRAN_RC_TEMPLATE}" rc_text @ONLY)
  file(GENERATE OUTPUT ${dir}/setup.rc CONTENT "${rc_text}")
  # windres reads the icon, the manifest and the payload itself; the build
  # knows of them only through these dependencies.
  set_source_files_properties(${dir}/setup.rc PROPERTIES
    GENERATED TRUE
    OBJECT_DEPENDS "${LUMIRAN_RESOURCES_DIR}/lumiran.ico;${LUMIRAN_RESOURCES_DIR}/setup.manifest;${LUMIRAN_PAYLOAD}")

  add_executable(${target} WIN32 ${CMAKE_SOURCE_DIR}/app/main.cpp ${dir}/setup.rc)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${LUMIRAN_IMAGE_NAME} RUNTIME_OUTPUT_DIRECTORY ${dir})
  target_link_libraries(${target} PRIVATE ${core} lumiran_platform)
  lumiran_link_delay_imports(${target})
  target_link_options(${target} PRIVATE ${LUMIRAN_UNICODE_ENTRY} ${LUMIRAN_SHIPPED_LINK_OPTIONS})
  if(LUMIRAN_SUITE_EXE)
    add_dependencies(${target} lumiran_payload_check)
  else()
    add_dependencies(${target} lumiran_suite)
  endif()
endfunction()

# The setup image is linked into unsigned/, and put at its own path,
# LUMIRAN_SETUP_IMAGE, by the target lumiran_setup (cmake/signing.cmake):
# signed and checked when signing is on, a copy otherwise. That path is
# written by nothing else, so that an image there is always a finished one.
set(LUMIRAN_SETUP_RC ${CMAKE_BINARY_DIR}/setup.rc)
set(LUMIRAN_SETUP_IMAGE ${CMAKE_BINARY_DIR}/Lumiran-Setup-${LUMIRAN_BUILD_VERSION}-x64.exe)
lumiran_add_setup_image(lumiran_setup_unsigned ${LUMIRAN_BUILD_VERSION} lumiran_core ${CMAKE_BINARY_DIR})
set_target_properties(lumiran_setup_unsigned PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/unsigned)
