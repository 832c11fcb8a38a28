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
set(LUMIRAN_SETUP_RC ${CMAKE_BINARY_DIR}/setup.rc)
file(READ ${CMAKE_SOURCE_DIR}/resources/setup.rc.in LUMIRAN_RC_TEMPLATE)
string(CONFIGURE "${LUMIRAN_RC_TEMPLATE}" LUMIRAN_RC_TEXT @ONLY)
file(GENERATE OUTPUT ${LUMIRAN_SETUP_RC} CONTENT "${LUMIRAN_RC_TEXT}")
# windres reads the icon, the manifest and the payload itself; the build
# knows of them only through these dependencies.
set_source_files_properties(${LUMIRAN_SETUP_RC} PROPERTIES
  GENERATED TRUE
  OBJECT_DEPENDS "${LUMIRAN_RESOURCES_DIR}/lumiran.ico;${LUMIRAN_RESOURCES_DIR}/setup.manifest;${LUMIRAN_PAYLOAD}")

add_executable(lumiran_setup WIN32 app/main.cpp ${LUMIRAN_SETUP_RC})
set_target_properties(lumiran_setup PROPERTIES OUTPUT_NAME Lumiran-Setup-2.1.0-x64
                                               RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(lumiran_setup PRIVATE lumiran_core lumiran_platform)
lumiran_link_delay_imports(lumiran_setup)
target_link_options(lumiran_setup PRIVATE ${LUMIRAN_UNICODE_ENTRY} ${LUMIRAN_SHIPPED_LINK_OPTIONS})

if(LUMIRAN_SUITE_EXE)
  # Checked again on every build, so that a payload that went missing since
  # the configuration stops the build with the same message.
  add_custom_target(lumiran_payload_check
    COMMAND ${CMAKE_COMMAND} -DLUMIRAN_PAYLOAD=${LUMIRAN_PAYLOAD} -P ${LUMIRAN_RESOURCES_DIR}/check_payload.cmake
    VERBATIM)
  add_dependencies(lumiran_setup lumiran_payload_check)
else()
  add_dependencies(lumiran_setup lumiran_suite)
endif()
