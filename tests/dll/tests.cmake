# DLL planting: an installer runs from the Downloads folder, where a DLL named
# like one that the platform loads on demand would run with the user's rights.
# Every test copies an image into a folder of its own under Wine.
set(LUMIRAN_DLL_TEST_DIR ${CMAKE_SOURCE_DIR}/tests/dll)

# The planted DLL: its DllMain leaves a marker file beside it.
add_library(lumiran_planted_dll SHARED ${LUMIRAN_DLL_TEST_DIR}/planted.cpp)
set_target_properties(lumiran_planted_dll PROPERTIES PREFIX "" OUTPUT_NAME planted
                                                     RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/dll)

# A test-only variant of the setup image whose entry point skips the
# restriction, linked like the real one: it shows the tests can see the attack.
foreach(variant unrestricted)
  set(entry ${LUMIRAN_DLL_TEST_DIR}/unrestricted_main.cpp)
  add_executable(lumiran_setup_${variant} WIN32 ${entry} ${LUMIRAN_SETUP_RC})
  set_target_properties(lumiran_setup_${variant} PROPERTIES
    OUTPUT_NAME Lumiran-Setup-${variant} RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/dll)
  target_link_libraries(lumiran_setup_${variant} PRIVATE lumiran_core lumiran_platform)
  lumiran_link_delay_imports(lumiran_setup_${variant})
  target_link_options(lumiran_setup_${variant} PRIVATE ${LUMIRAN_UNICODE_ENTRY})
  add_dependencies(lumiran_setup_${variant} lumiran_setup)  # the payload and the rest of the image's inputs
endforeach()

# Planted beside the image, under the names that Wine's loader trace shows
# the run loading on demand through a search path that starts with the
# image's folder. Wine would take its own builtin DLL even then; "n,b" makes
# it take the first file found, as the Windows loader does.
set(LUMIRAN_PLANTED_NAMES uxtheme.dll imm32.dll)
# dll.plant.*: none of them is loaded. dll.audit.*: every file the run looks
# up, traced with strace: no DLL in the image's folder. The unrestricted
# variant must be caught by both, or they could not see the attack.
foreach(case "installer;${LUMIRAN_SETUP_IMAGE};none;clean"
             "unrestricted;$<TARGET_FILE:lumiran_setup_unrestricted>;loaded;probes")
  list(GET case 0 name)
  list(GET case 1 image)
  list(GET case 2 planted)
  list(GET case 3 audit)
  add_test(NAME dll.plant.${name}
           COMMAND bash ${LUMIRAN_DLL_TEST_DIR}/plant_test.sh ${LUMIRAN_WINE_DIR} ${image} ${planted}
                   $<TARGET_FILE:lumiran_planted_dll> ${LUMIRAN_PLANTED_NAMES})
  add_test(NAME dll.audit.${name}
           COMMAND bash ${LUMIRAN_DLL_TEST_DIR}/audit.sh ${LUMIRAN_WINE_DIR} ${image} ${audit})
  set_tests_properties(dll.plant.${name} dll.audit.${name}
    PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77 LABELS dll)
endforeach()

# The delay-load helper's failure codes (delay_failure.cpp).
foreach(case "lumiran-absent.dll;LumiranAbsentDll" "VERSION.dll;LumiranNotExported")
  list(GET case 0 dll)
  list(GET case 1 function)
  file(WRITE ${LUMIRAN_DELAY_DIR}/${function}.def "LIBRARY ${dll}\nEXPORTS\n${function}\n")
  lumiran_delay_lib(${LUMIRAN_DELAY_DIR}/${function}.def ${dll} ${LUMIRAN_DELAY_DIR}/lib${function}-delay.a)
  list(APPEND LUMIRAN_FAILING_DELAY_LIBS ${LUMIRAN_DELAY_DIR}/lib${function}-delay.a)
endforeach()
add_executable(delay_failure ${LUMIRAN_DLL_TEST_DIR}/delay_failure.cpp)
lumiran_link_delay_imports(delay_failure ${LUMIRAN_FAILING_DELAY_LIBS})
target_link_options(delay_failure PRIVATE ${LUMIRAN_UNICODE_ENTRY})
add_test(NAME dll.delay_failure COMMAND delay_failure)
set_tests_properties(dll.delay_failure PROPERTIES TIMEOUT 120 LABELS dll)
