# The setup image delay-loads every DLL but kernel32 and the C runtime.
#
# An installer is run from a Downloads folder. DLLs that the loader brings
# in for the static imports (and whatever their start-up code loads on
# demand, such as uxtheme) are searched beside the image first, before the
# entry point can restrict the search. Delay-loaded, they arrive after
# SetDefaultDllDirectories has limited the search to System32.
#
# Delay-import libraries are made from Debian's import libraries; comctl32's
# comes from cmake/comctl32.def, so that TaskDialogIndirect keeps its ordinal.
# The program binds them with its own helper, platform/win32/delay_load.cpp,
# so every image linked with them goes through lumiran_link_delay_imports.
set(LUMIRAN_DELAY_DIR ${CMAKE_BINARY_DIR}/delay)
file(MAKE_DIRECTORY ${LUMIRAN_DELAY_DIR})
set(LUMIRAN_DELAY_LIBS "")
foreach(dll advapi32 ole32 shell32 user32 wtsapi32)
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
                  WORKING_DIRECTORY ${LUMIRAN_DELAY_DIR} RESULT_VARIABLE delay_result)
  if(NOT result EQUAL 0 OR NOT delay_result EQUAL 0 OR dll_name STREQUAL "" OR NOT imports)
    message(FATAL_ERROR "dlltool could not make a delay-import library from ${LUMIRAN_IMPLIB_${dll}}.")
  endif()
  list(APPEND LUMIRAN_DELAY_LIBS ${lib})
endforeach()

# lumiran_delay_lib(DEF DLL LIB): the delay-import library LIB of DLL, made
# from the module-definition file DEF.
function(lumiran_delay_lib def dll lib)
  execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --output-delaylib ${lib} --dllname ${dll}
                  WORKING_DIRECTORY ${LUMIRAN_DELAY_DIR} RESULT_VARIABLE delay_result)
  if(NOT delay_result EQUAL 0)
    message(FATAL_ERROR "dlltool could not make ${lib} from ${def}.")
  endif()
endfunction()
lumiran_delay_lib(${CMAKE_SOURCE_DIR}/cmake/comctl32.def COMCTL32.dll ${LUMIRAN_DELAY_DIR}/libcomctl32-v6-delay.a)
list(APPEND LUMIRAN_DELAY_LIBS ${LUMIRAN_DELAY_DIR}/libcomctl32-v6-delay.a)

# Links TARGET against the delay-import libraries, and any more given after
# it (after the libraries that bring the plain import libraries along, so
# these are the ones that bind), and against the helper that binds them, as
# an object of its own, so that it is there before the C runtime's library
# is searched for one.
set(LUMIRAN_DELAY_LOAD_HELPER ${CMAKE_SOURCE_DIR}/platform/win32/delay_load.cpp)
function(lumiran_link_delay_imports target)
  target_sources(${target} PRIVATE ${LUMIRAN_DELAY_LOAD_HELPER})
  target_link_libraries(${target} PRIVATE ${LUMIRAN_DELAY_LIBS} ${ARGN})
endfunction()
