# DLL planting: an installer runs from the Downloads folder, where a DLL named
# like one that the platform loads on demand would run with the user's rights.
# Every test copies an image into a folder of its own under Wine.
set(LUMIRAN_DLL_TEST_DIR ${CMAKE_SOURCE_DIR}/tests/dll)

# The planted DLL: its DllMain leaves a marker file beside it.
add_library(lumiran_planted_dll SHARED ${LUMIRAN_DLL_TEST_DIR}/planted.cpp)
set_target_properties(lumiran_planted_dll PROPERTIES PREFIX "" OUTPUT_NAME planted
                                                     RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/dll)

# Test-only variants of the setup image whose imports, but for kernel32 and
# the C runtime, are delay-loaded: those DLLs, and whatever their DllMain
# loads, then come in after the entry point's restriction instead of before
# it. One variant has the real entry point, one skips the restriction.
# Delay-import libraries are made from Debian's import libraries.
set(LUMIRAN_DELAY_DIR ${CMAKE_BINARY_DIR}/dll/delay)
file(MAKE_DIRECTORY ${LUMIRAN_DELAY_DIR})
set(LUMIRAN_DELAY_LIBS "")
foreach(dll advapi32 comctl32 ole32 shell32 user32)
  find_library(LUMIRAN_IMPLIB_${dll} NAMES ${dll} REQUIRED NO_CACHE)
  set(def ${LUMIRAN_DELAY_DIR}/${dll}.def)
  set(lib ${LUMIRAN_DELAY_DIR}/lib${dll}-delay.a)
  execute_process(COMMAND ${CMAKE_DLLTOOL} --identify ${LUMIRAN_IMPLIB_${dll}}
                  OUTPUT_VARIABLE dll_name OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
  execute_process(COMMAND ${CMAKE_NM} ${LUMIRAN_IMPLIB_${dll}} OUTPUT_VARIABLE symbols)
  string(REGEX MATCHALL " I __imp_[A-Za-z0-9_]+" imports "${symbols}")
  list(TRANSFORM imports REPLACE " I __imp_" "")
  list(REMOVE_DUPLICATES imports)
  list(JOIN imports "\n" exports)
  file(WRITE ${def} "LIBRARY ${dll_name}\nEXPORTS\n${exports}\n")
  execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --output-delaylib ${lib} --dllname ${dll_name}
                  RESULT_VARIABLE delay_result)
  if(NOT result EQUAL 0 OR NOT delay_result EQUAL 0 OR dll_name STREQUAL "" OR NOT imports)
    message(FATAL_ERROR "dlltool could not make a delay-import library from ${LUMIRAN_IMPLIB_${dll}}.")
  endif()
  list(APPEND LUMIRAN_DELAY_LIBS ${lib})
endforeach()

foreach(variant delayed unrestricted)
  if(variant STREQUAL delayed)
    set(entry ${CMAKE_SOURCE_DIR}/app/main.cpp)
  else()
    set(entry ${LUMIRAN_DLL_TEST_DIR}/unrestricted_main.cpp)
  endif()
  add_executable(lumiran_setup_${variant} WIN32 ${entry} ${LUMIRAN_SETUP_RC})
  set_target_properties(lumiran_setup_${variant} PROPERTIES
    OUTPUT_NAME Lumiran-Setup-${variant} RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/dll)
  # After the two libraries, before the import libraries they bring along.
  target_link_libraries(lumiran_setup_${variant} PRIVATE lumiran_core lumiran_platform ${LUMIRAN_DELAY_LIBS})
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
foreach(case "installer;$<TARGET_FILE:lumiran_setup>;none;clean"
             "delayed;$<TARGET_FILE:lumiran_setup_delayed>;none;clean"
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
