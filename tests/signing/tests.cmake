# Authenticode signing (cmake/signing.cmake), with throwaway self-signed
# certificates and a SoftHSM token, in a build tree of its own under
# sign-test/ that every run reuses: the first run builds it (a minute or two
# on two cores), later runs only relink. sign.build leaves a signed image
# there for the checks after it.
set(LUMIRAN_SIGN_TEST_WORK ${CMAKE_BINARY_DIR}/sign-test)
set(LUMIRAN_SIGN_TEST_ARGS
  ${CMAKE_SOURCE_DIR} ${LUMIRAN_SIGN_TEST_WORK} ${LUMIRAN_WINE_DIR} ${CMAKE_GENERATOR} ${LUMIRAN_BUILD_VERSION}
  "${LUMIRAN_SUITE_EXE}")

foreach(step configure-errors failures build verify resources install)
  string(REPLACE "-" "_" name ${step})
  add_test(NAME sign.${name}
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/signing/sign_test.sh ${step} ${LUMIRAN_SIGN_TEST_ARGS})
  set_tests_properties(sign.${name} PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77 LABELS signing)
endforeach()

# The three reconfigure the one tree: never side by side, errors first. The
# first to build builds it all.
set_tests_properties(sign.configure_errors sign.failures sign.build PROPERTIES RESOURCE_LOCK lumiran_sign_tree)
set_tests_properties(sign.failures PROPERTIES DEPENDS sign.configure_errors TIMEOUT 900 PROCESSORS 2)
set_tests_properties(sign.build PROPERTIES
  FIXTURES_SETUP lumiran_signed DEPENDS sign.failures TIMEOUT 900 PROCESSORS 2)
set_tests_properties(sign.verify sign.resources sign.install PROPERTIES FIXTURES_REQUIRED lumiran_signed)
