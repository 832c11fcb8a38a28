# Unit tests of core/ against the recording stand-in; built natively and,
# for Windows path rules, in the cross build too.
set(LUMIRAN_CORE_TEST_SOURCES
  ${CMAKE_SOURCE_DIR}/tests/host/layout_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/switches_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/shutdown_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/setup_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/payload_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/registry_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/shortcut_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/welcome_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/sequences_test.cpp)
