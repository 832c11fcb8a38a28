# The payload is an input of the build: LUMIRAN_SUITE_EXE names the suite
# executable to embed; without it the stand-in suite from suite/ is embedded.
set(LUMIRAN_SUITE_EXE "" CACHE FILEPATH "Suite executable (Lumiran.exe) to embed as the payload")

if(LUMIRAN_SUITE_EXE)
  get_filename_component(LUMIRAN_PAYLOAD "${LUMIRAN_SUITE_EXE}" ABSOLUTE)
  if(NOT EXISTS "${LUMIRAN_PAYLOAD}" OR IS_DIRECTORY "${LUMIRAN_PAYLOAD}")
    message(FATAL_ERROR "LUMIRAN_SUITE_EXE: no suite executable at '${LUMIRAN_PAYLOAD}'.")
  endif()
  file(READ "${LUMIRAN_PAYLOAD}" LUMIRAN_PAYLOAD_PROBE LIMIT 2 HEX)
  if(NOT LUMIRAN_PAYLOAD_PROBE STREQUAL "4d5a")
    message(FATAL_ERROR "LUMIRAN_SUITE_EXE: '${LUMIRAN_PAYLOAD}' cannot be read as a Windows executable.")
  endif()
else()
  set(LUMIRAN_PAYLOAD "${CMAKE_BINARY_DIR}/suite/Lumiran.exe")
endif()

set(LUMIRAN_RESOURCES_DIR ${CMAKE_SOURCE_DIR}/resources)
set(LUMIRAN_SETUP_RC ${CMAKE_BINARY_DIR}/setup.rc)
file(READ ${CMAKE_SOURCE_DIR}/resources/setup.rc.in LUMIRAN_RC_TEMPLATE)
string(CONFIGURE "${LUMIRAN_RC_TEMPLATE}" LUMIRAN_RC_TEXT @ONLY)
file(GENERATE OUTPUT ${LUMIRAN_SETUP_RC} CONTENT "${LUMIRAN_RC_TEXT}")
set_source_files_properties(${LUMIRAN_SETUP_RC} PROPERTIES
  GENERATED TRUE
  OBJECT_DEPENDS "${LUMIRAN_RESOURCES_DIR}/lumiran.ico;${LUMIRAN_RESOURCES_DIR}/setup.manifest")

add_executable(lumiran_setup WIN32 app/main.cpp ${LUMIRAN_SETUP_RC})
set_target_properties(lumiran_setup PROPERTIES OUTPUT_NAME Lumiran-Setup-2.1.0-x64
                                               RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(lumiran_setup PRIVATE lumiran_core lumiran_platform)
if(LUMIRAN_SUITE_EXE)
  set_property(SOURCE ${LUMIRAN_SETUP_RC} APPEND PROPERTY OBJECT_DEPENDS "${LUMIRAN_PAYLOAD}")
else()
  add_dependencies(lumiran_setup lumiran_suite)
  set_property(SOURCE ${LUMIRAN_SETUP_RC} APPEND PROPERTY OBJECT_DEPENDS "${CMAKE_BINARY_DIR}/suite/Lumiran.exe")
endif()
target_link_options(lumiran_setup PRIVATE ${LUMIRAN_UNICODE_ENTRY})
