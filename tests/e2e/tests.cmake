# End-to-end scenarios: the real installer in fresh Wine prefixes, driven by a Windows test driver.
add_executable(e2e_driver ${CMAKE_SOURCE_DIR}/tests/e2e/driver.cpp)
set_target_properties(e2e_driver PROPERTIES OUTPUT_NAME e2e-driver RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e)
target_link_libraries(e2e_driver PRIVATE user32 advapi32 ole32 shell32 uuid)
target_link_options(e2e_driver PRIVATE ${LUMIRAN_UNICODE_ENTRY})

add_library(e2e_wtsapi32 SHARED ${CMAKE_SOURCE_DIR}/tests/e2e/other_session_user.cpp)  # refuse_other_account
set_target_properties(e2e_wtsapi32 PROPERTIES PREFIX "" OUTPUT_NAME wtsapi32 RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e)
add_dependencies(e2e_driver e2e_wtsapi32)

# Each scenario is a script of its own, in a fresh prefix; they need an X
# display (xvfb-run) and skip without one.
set(LUMIRAN_E2E_SCENARIOS
  install_silent
  install_only
  install_and_launch
  install_cancel
  install_over_running_suite
  reinstall
  install_payload_locked
  install_slash_path
  install_unicode_folder
  uninstall_lifecycle
  uninstall_declined
  uninstall_silent
  uninstall_suite_ignores_close
  uninstall_leaves_foreign_things
  uninstall_nothing_installed
  uninstall_from_elsewhere
  refuse_other_account)
foreach(scenario IN LISTS LUMIRAN_E2E_SCENARIOS)
  add_test(NAME e2e.${scenario}
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/${scenario}.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(e2e.${scenario} PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77 LABELS e2e)
endforeach()
