# What a release publishes beside a setup image, named after it: the
# third-party notices of the compiler's runtime linked into it
# (NAME.notices.txt) and a CycloneDX bill of materials (NAME.cdx.json), both
# written by release_files.py from the linker's map of that image. They
# describe the final file, so the step runs after every other step that
# changes it (signing).

find_program(LUMIRAN_PYTHON3 python3)
if(NOT LUMIRAN_PYTHON3)
  message(FATAL_ERROR "python3 was not found (Debian package python3): it writes the third-party notices "
          "and the bill of materials beside the setup image.")
endif()

# TARGET, a setup image of VERSION (lumiran_add_setup_image): its link writes
# a map, and the files are written from it after the target's other
# POST_BUILD steps, so call this after those are added.
function(lumiran_add_release_files target version)
  set(map ${CMAKE_BINARY_DIR}/${target}.map)
  set(script ${CMAKE_SOURCE_DIR}/cmake/release_files.py)
  get_target_property(name ${target} OUTPUT_NAME)
  target_link_options(${target} PRIVATE -Wl,-Map=${map})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${LUMIRAN_PYTHON3} ${script} --image $<TARGET_FILE:${target}> --map ${map}
            --payload ${LUMIRAN_PAYLOAD} --version ${version} --compiler ${CMAKE_CXX_COMPILER}
            --own ${CMAKE_SOURCE_DIR} --own ${CMAKE_BINARY_DIR}
    COMMENT "Writing the third-party notices and the bill of materials of ${name}.exe"
    VERBATIM)
  # A changed script writes the files again, as a changed image does.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
