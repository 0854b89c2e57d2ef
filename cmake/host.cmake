# Native build: the format tests (and, later, the packer) on the build machine.
add_executable(format_tests tests/format/package_format_test.cpp)
target_link_libraries(format_tests PRIVATE tobrin_format gtest_main)
add_test(NAME format COMMAND format_tests)
