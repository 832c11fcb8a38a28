# Checks of the built setup image by independent tools: wrestool (icoutils),
# exiftool, objdump, and Python for the simple public formats.
set(LUMIRAN_IMAGE_TEST_DIR ${CMAKE_SOURCE_DIR}/tests/image)
set(LUMIRAN_PYTHON /usr/bin/python3)  # Debian's, with python3-pil
set(LUMIRAN_IMAGE ${LUMIRAN_SETUP_IMAGE})

add_test(NAME image.resources
  COMMAND ${LUMIRAN_PYTHON} ${LUMIRAN_IMAGE_TEST_DIR}/resources_test.py ${LUMIRAN_IMAGE})
add_test(NAME image.icon
  COMMAND ${LUMIRAN_PYTHON} ${LUMIRAN_IMAGE_TEST_DIR}/icon_test.py ${LUMIRAN_IMAGE}
          $<TARGET_FILE:lumiran_suite> ${CMAKE_SOURCE_DIR}/resources/lumiran.ico
          ${CMAKE_SOURCE_DIR}/resources/make_icon.py)
add_test(NAME image.version
  COMMAND ${LUMIRAN_PYTHON} ${LUMIRAN_IMAGE_TEST_DIR}/version_test.py ${LUMIRAN_IMAGE} ${LUMIRAN_BUILD_VERSION})
add_test(NAME image.version_other
  COMMAND ${LUMIRAN_PYTHON} ${LUMIRAN_IMAGE_TEST_DIR}/version_test.py $<TARGET_FILE:lumiran_setup_other>
          ${LUMIRAN_OTHER_VERSION})
add_test(NAME image.manifest
  COMMAND ${LUMIRAN_PYTHON} ${LUMIRAN_IMAGE_TEST_DIR}/manifest_test.py ${LUMIRAN_IMAGE})
add_test(NAME image.pe
  COMMAND ${LUMIRAN_PYTHON} ${LUMIRAN_IMAGE_TEST_DIR}/pe_test.py ${LUMIRAN_IMAGE} ${LUMIRAN_PAYLOAD}
          ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
add_test(NAME image.payload
  COMMAND ${LUMIRAN_PYTHON} ${LUMIRAN_IMAGE_TEST_DIR}/payload_test.py ${LUMIRAN_IMAGE} ${LUMIRAN_PAYLOAD})
# The notices and the bill of materials beside the image (cmake/release_files.cmake).
add_test(NAME image.release_files
  COMMAND ${LUMIRAN_PYTHON} ${LUMIRAN_IMAGE_TEST_DIR}/release_files_test.py ${LUMIRAN_IMAGE} ${LUMIRAN_PAYLOAD}
          ${LUMIRAN_BUILD_VERSION} ${CMAKE_BINARY_DIR}/lumiran_setup_unsigned.map ${CMAKE_SOURCE_DIR}/cmake/release_files.py
          ${CMAKE_SOURCE_DIR}/third_party/cyclonedx)
set_tests_properties(image.resources image.icon image.version image.version_other image.manifest image.pe
  image.payload image.release_files PROPERTIES ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)

# LUMIRAN_VERSION: values the check that the configuration makes refuses,
# each with a message naming the variable, the value and the form.
foreach(version 2.2 v2.2.0 2.2.0-beta 2.2.0.1 2.65536.0 02.1.0)
  add_test(NAME image.version_refused.${version}
           COMMAND ${CMAKE_COMMAND} -DLUMIRAN_VERSION=${version} -P ${CMAKE_SOURCE_DIR}/cmake/version.cmake)
  set_tests_properties(image.version_refused.${version} PROPERTIES
    PASS_REGULAR_EXPRESSION "LUMIRAN_VERSION: \"${version}\".*MAJOR.MINOR.PATCH")
endforeach()

# These two configure and build trees of their own under a temporary folder
# (about a minute each on two cores).
add_test(NAME image.reproducible
  COMMAND bash ${LUMIRAN_IMAGE_TEST_DIR}/reproducible.sh ${CMAKE_SOURCE_DIR})
add_test(NAME image.payload_input
  COMMAND bash ${LUMIRAN_IMAGE_TEST_DIR}/payload_input.sh ${CMAKE_SOURCE_DIR} $<TARGET_FILE:lumiran_suite>)
set_tests_properties(image.reproducible image.payload_input PROPERTIES TIMEOUT 900 PROCESSORS 2)
