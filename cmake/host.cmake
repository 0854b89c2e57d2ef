# Native build: the format tests and the packer with its tests on the build machine.
add_executable(format_tests tests/format/package_format_test.cpp)
target_link_libraries(format_tests PRIVATE tobrin_format_encoder gtest_main)
add_test(NAME format COMMAND format_tests)

# The packer: its file readers, and the real program run on real folders.
add_executable(pack_tests
  tests/host/settings_files_test.cpp
  tests/host/pack_command_test.cpp
  tests/host/pack_settings_options_test.cpp
  tests/host/man_page_test.cpp
  tests/host/pack_test_support.cpp)
target_link_libraries(pack_tests PRIVATE tobrin_pack_core gtest_main)
target_compile_definitions(pack_tests PRIVATE TOBRIN_PACK_PATH="$<TARGET_FILE:tobrin-pack>"
  TOBRIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(pack_tests tobrin-pack)
add_test(NAME pack COMMAND pack_tests)

# The packer end to end under Wine, with the real runners, the probe payload,
# the Windows packer and a signature. Needs the Windows builds (make build
# builds them first).
set(TOBRIN_WIN32_DIR "${CMAKE_SOURCE_DIR}/build/i686" CACHE PATH "The i686 build the packer's end-to-end test uses")
set(TOBRIN_WIN64_DIR "${CMAKE_SOURCE_DIR}/build/x86_64" CACHE PATH "The x86_64 build the packer's end-to-end test uses")
add_test(NAME pack_e2e COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/pack_e2e.sh
  $<TARGET_FILE:tobrin-pack> ${TOBRIN_WIN32_DIR} ${TOBRIN_WIN64_DIR})
set_tests_properties(pack_e2e PROPERTIES TIMEOUT 300)
