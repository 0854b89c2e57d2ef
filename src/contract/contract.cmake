# The rules the runner and the packer share (settings, languages, payload
# lookup, path limits, stored names, the PE headers, little-endian
# integers): portable C++17 without Win32, linked
# into the format library and so into the runner, the packer, the tests and
# the fuzzer.
add_library(tobrin_contract STATIC
  src/contract/settings_contract.cpp
  src/contract/stored_names.cpp
  src/contract/payload_lookup.cpp
  src/contract/pe_headers.cpp)
target_include_directories(tobrin_contract PUBLIC src)
