# tobrin-pack, the packer: one set of portable sources, built natively
# (build/host/tobrin-pack) and for Windows (tobrin-pack.exe beside the runner).
add_library(tobrin_pack_core STATIC
  tools/pack/text.cpp
  tools/pack/native_files.cpp
  tools/pack/pe_image.cpp
  tools/pack/ini_file.cpp
  tools/pack/findings.cpp
  tools/pack/package_view.cpp
  tools/pack/package_checks.cpp
  tools/pack/source_tree.cpp
  tools/pack/packed_program.cpp
  tools/pack/stub.cpp
  tools/pack/folder_target.cpp
  tools/pack/progress.cpp
  tools/pack/create_command.cpp
  tools/pack/list_command.cpp
  tools/pack/verify_command.cpp
  tools/pack/extract_command.cpp
  tools/pack/settings_files.cpp
  tools/pack/init_command.cpp
  tools/pack/create_options.cpp
  tools/pack/init_options.cpp
  tools/pack/list_options.cpp
  tools/pack/verify_options.cpp
  tools/pack/extract_options.cpp
  tools/pack/command_line.cpp)
target_include_directories(tobrin_pack_core PUBLIC tools/pack)
tobrin_header_only(CLI nlohmann)  # the option parser of every command; list --json
target_include_directories(tobrin_pack_core SYSTEM PRIVATE "${TOBRIN_THIRD_PARTY_INCLUDE}")
target_link_libraries(tobrin_pack_core PUBLIC tobrin_format_encoder)
# The catalogue is read by the runner's own reader on Windows, by libxml2
# elsewhere; names are compared by the system on Windows, by ICU elsewhere;
# files are reached through the system's own calls on each.
if(WIN32)
  target_sources(tobrin_pack_core PRIVATE tools/pack/native_files_win32.cpp tools/pack/xml_check_msxml.cpp src/common/xml_parser.cpp
    src/common/xml_prolog.cpp src/extract/long_path.cpp src/common/windows_names.cpp)
  target_include_directories(tobrin_pack_core PRIVATE src)
  target_link_libraries(tobrin_pack_core PUBLIC ole32 oleaut32 uuid)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TOBRIN_PACK_LIBS REQUIRED IMPORTED_TARGET libxml-2.0 icu-uc)
  target_sources(tobrin_pack_core PRIVATE tools/pack/native_files_posix.cpp tools/pack/xml_check_libxml.cpp)
  target_link_libraries(tobrin_pack_core PUBLIC PkgConfig::TOBRIN_PACK_LIBS)
endif()

add_executable(tobrin-pack tools/pack/main.cpp)
target_link_libraries(tobrin-pack PRIVATE tobrin_pack_core)
target_compile_definitions(tobrin_pack_core PRIVATE TOBRIN_VERSION="${PROJECT_VERSION}")
if(WIN32)
  target_link_options(tobrin-pack PRIVATE -municode)
endif()
