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

# IMAGE, the final file of a setup image of VERSION that LINK_TARGET links
# (lumiran_add_setup_image) and the target STEP puts at its path: the link
# itself, or the custom target of the signing step. The link writes a map,
# and the files are written from it once the image is final, as part of STEP,
# so that building STEP builds them too. The script rewrites a file only when
# its content changes.
function(lumiran_add_release_files image link_target step version)
  set(map ${CMAKE_BINARY_DIR}/${link_target}.map)
  set(script ${CMAKE_SOURCE_DIR}/cmake/release_files.py)
  get_filename_component(name "${image}" NAME)
  target_link_options(${link_target} PRIVATE -Wl,-Map=${map})
  set(write ${LUMIRAN_PYTHON3} ${script} --image ${image} --map ${map} --payload ${LUMIRAN_PAYLOAD}
            --version ${version} --compiler ${CMAKE_CXX_COMPILER}
            --own ${CMAKE_SOURCE_DIR} --own ${CMAKE_BINARY_DIR})
  set(comment "Writing the third-party notices and the bill of materials of ${name}")
  if(step STREQUAL link_target)
    add_custom_command(TARGET ${step} POST_BUILD COMMAND ${write} COMMENT "${comment}" VERBATIM)
    set_property(TARGET ${step} APPEND PROPERTY LINK_DEPENDS ${script})
  else()
    # A stamp of its own tells the build that the files are up to date.
    string(REGEX REPLACE "\\.exe$" "" stem "${image}")
    set(stamp ${CMAKE_BINARY_DIR}/${link_target}.release-files)
    add_custom_command(OUTPUT ${stamp} BYPRODUCTS ${stem}.notices.txt ${stem}.cdx.json
      COMMAND ${write} COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
      DEPENDS ${image} ${script} COMMENT "${comment}" VERBATIM)
    target_sources(${step} PRIVATE ${stamp})
  endif()
endfunction()
