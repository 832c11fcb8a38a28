# Native build: the portable core against the recording stand-in of the
# platform layer, with sanitizers.
if(NOT LUMIRAN_TESTS)
  return()
endif()
find_package(GTest REQUIRED)
include(GoogleTest)

set(LUMIRAN_SANITIZE "-fsanitize=address,undefined" "-fno-omit-frame-pointer" "-fno-sanitize-recover=all")
target_compile_options(lumiran_core PRIVATE ${LUMIRAN_SANITIZE})

add_library(lumiran_fake_platform STATIC tests/host/fake_platform.cpp)
target_include_directories(lumiran_fake_platform PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(lumiran_fake_platform PRIVATE ${LUMIRAN_SANITIZE})

include(tests/host/tests.cmake)
add_executable(core_tests ${LUMIRAN_CORE_TEST_SOURCES})
target_compile_options(core_tests PRIVATE ${LUMIRAN_SANITIZE})
target_link_options(core_tests PRIVATE ${LUMIRAN_SANITIZE})
target_link_libraries(core_tests PRIVATE lumiran_core lumiran_fake_platform GTest::gtest_main)
gtest_discover_tests(core_tests DISCOVERY_TIMEOUT 30)
