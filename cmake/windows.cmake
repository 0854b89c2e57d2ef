# The runner and its tests, cross-built with MinGW-w64 and run under Wine.
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# No runtime DLL may be needed beside the programs.
add_link_options(-static -static-libgcc -static-libstdc++)
# No link time in the PE header: one commit always builds the same bytes.
add_link_options(-Wl,--no-insert-timestamp)
# A small runner: unused functions and data are left out of the image.
add_compile_options(-ffunction-sections -fdata-sections)

set(TOBRIN_RESOURCES src/res/tobrin.rc)
set_source_files_properties(src/res/tobrin.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/src/res/strings.rc;${CMAKE_SOURCE_DIR}/src/res/tobrin.manifest;${CMAKE_SOURCE_DIR}/src/res/tobrin.ico;${CMAKE_SOURCE_DIR}/src/res/resource.h")

# Everything of the runner but its entry point, so the tests link the real code.
add_library(tobrin_core STATIC
  src/framework/win_app.cpp
  src/framework/dialog.cpp
  src/framework/thread.cpp
  src/app/tobrin_dlg.cpp
  src/app/installer_name.cpp
  src/app/module_path.cpp
  src/extract/extract_package.cpp
  src/extract/handle_closer.cpp
  src/extract/folder_security.cpp
  src/extract/long_path.cpp
  src/extract/extract_folder.cpp
  src/ui/progress_dlg.cpp
  src/run/silent_mode.cpp
  src/run/extraction_root.cpp
  src/run/settings.cpp
  src/run/payload_command.cpp
  src/run/run_payload.cpp
  src/run/launch.cpp
  src/run/payload_file.cpp
  src/run/delete_folder.cpp
  src/messages/localized_message.cpp
  src/messages/language_table.cpp
  src/messages/string_lookup.cpp
  src/common/xml_parser.cpp
  src/common/xml_prolog.cpp
  src/common/windows_names.cpp
  src/common/system_library.cpp
  src/ui/message_box_layout.cpp
  src/ui/normal_message_box.cpp)
target_include_directories(tobrin_core PUBLIC src)
target_link_libraries(tobrin_core PUBLIC tobrin_format comctl32 ole32 oleaut32 uuid advapi32 user32 gdi32)

# The application object: nothing but the framework, through a virtual call,
# refers to it, so it is linked as an object of its own into every program
# that runs it, where no archive member can be left out.
add_library(tobrin_app OBJECT src/app/tobrin_app.cpp)
target_link_libraries(tobrin_app PUBLIC tobrin_core)

add_executable(tobrin WIN32 src/framework/entry.cpp ${TOBRIN_RESOURCES})
target_link_libraries(tobrin PRIVATE tobrin_app)
target_link_options(tobrin PRIVATE -municode -s -Wl,--gc-sections -Wl,--nxcompat -Wl,--dynamicbase)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(tobrin PRIVATE -Wl,--large-address-aware)
endif()

# The window, drawing and COM libraries are delay-loaded: a silent run never
# loads them (each brings a dozen more libraries with it, and the process
# start pays for all of them). The delay-load helper (MinGW's delayimp) loads
# them from System32 only, as SetDefaultDllDirectories at the entry asks.
# GNU ld cannot write a delay-import table, so GCC's driver links the runner
# with lld (cmake/lld-linker.gcc). lld delay-loads a DLL only through an import
# library of the short form; MinGW's are of GNU's long form, which lld links
# as ordinary imports without a word, so cmake/delay-import-lib.sh makes
# short ones of the same functions, found first through -L.
set(TOBRIN_DELAY_LOADED user32 gdi32 ole32 oleaut32 comctl32 shell32)
find_program(TOBRIN_LD_LLD ld.lld REQUIRED)
find_program(TOBRIN_LLVM_DLLTOOL llvm-dlltool REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(tobrin_machine i386)
else()
  set(tobrin_machine i386:x86-64)
endif()
set(tobrin_delay_dir ${CMAKE_BINARY_DIR}/delay-import)
set(tobrin_delay_libs)
foreach(dll IN LISTS TOBRIN_DELAY_LOADED)
  find_library(tobrin_mingw_${dll} ${dll} REQUIRED)
  add_custom_command(OUTPUT ${tobrin_delay_dir}/lib${dll}.a
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tobrin_delay_dir}
    COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/delay-import-lib.sh ${CMAKE_NM} ${TOBRIN_LLVM_DLLTOOL} ${tobrin_machine}
      ${tobrin_mingw_${dll}} ${dll}.dll ${tobrin_delay_dir}/lib${dll}.a
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/delay-import-lib.sh VERBATIM)
  list(APPEND tobrin_delay_libs ${tobrin_delay_dir}/lib${dll}.a)
  target_link_options(tobrin PRIVATE -Wl,--delayload=${dll}.dll)
endforeach()
add_custom_target(tobrin_delay_import_libs DEPENDS ${tobrin_delay_libs})
add_dependencies(tobrin tobrin_delay_import_libs)
target_link_options(tobrin PRIVATE -specs=${CMAKE_SOURCE_DIR}/cmake/lld-linker.gcc -L${tobrin_delay_dir})
target_link_libraries(tobrin PRIVATE delayimp)
set_target_properties(tobrin PROPERTIES LINK_DEPENDS "${tobrin_delay_libs};${CMAKE_SOURCE_DIR}/cmake/lld-linker.gcc")

# The test payload.
add_executable(probe tests/e2e/probe/probe.cpp)
target_link_options(probe PRIVATE -municode)

# The packer for Windows (tools/pack/pack.cmake) and the demo package's
# payload, which shows what the runner handed it (make demo).
add_executable(demo_payload WIN32 examples/demo/payload/demo_payload.cpp)
set_target_properties(demo_payload PROPERTIES OUTPUT_NAME DemoPayload)
target_link_options(demo_payload PRIVATE -municode -s)
target_include_directories(demo_payload PRIVATE src)
target_link_libraries(demo_payload PRIVATE shell32 gdi32 user32)

# The runner's and the packer's settings readers against the platform's own.
add_executable(pack_parity_tests tests/pack/settings_parity_test.cpp tests/unit/test_support.cpp)
target_include_directories(pack_parity_tests PRIVATE tests)
target_link_libraries(pack_parity_tests PRIVATE tobrin_pack_core tobrin_app gtest_main ole32 oleaut32)
add_test(NAME pack_parity COMMAND pack_parity_tests)
set_tests_properties(pack_parity PROPERTIES RESOURCE_LOCK registry)

add_executable(unit_tests
  tests/format/package_format_test.cpp
  tests/unit/extraction_test.cpp
  tests/unit/settings_test.cpp
  tests/unit/startup_test.cpp
  tests/unit/payload_test.cpp
  tests/unit/progress_dlg_test.cpp
  tests/unit/folder_security_test.cpp
  tests/unit/xml_parser_test.cpp
  tests/unit/localized_texts_test.cpp
  tests/unit/message_box_layout_test.cpp
  tests/unit/test_support.cpp
  ${TOBRIN_RESOURCES})
target_include_directories(unit_tests PRIVATE tests)
target_link_libraries(unit_tests PRIVATE tobrin_app tobrin_format_encoder gtest_main)
add_dependencies(unit_tests tobrin)  # its string table is read by a test

add_executable(e2e_tests
  tests/e2e/e2e_test.cpp
  tests/e2e/progress_window_test.cpp
  tests/e2e/soak_test.cpp
  tests/unit/test_support.cpp)
target_include_directories(e2e_tests PRIVATE tests)
target_link_libraries(e2e_tests PRIVATE tobrin_format_encoder gtest_main comctl32)
add_dependencies(e2e_tests tobrin probe tobrin-pack)  # the packer judges the packages the runner runs

# Windows on the display: the message box and the interactive message step.
add_executable(gui_tests
  tests/gui/gui_support.cpp
  tests/gui/message_box_test.cpp
  tests/gui/localized_message_test.cpp
  tests/gui/interactive_run_test.cpp
  tests/unit/test_support.cpp
  ${TOBRIN_RESOURCES})
target_include_directories(gui_tests PRIVATE tests)
target_link_libraries(gui_tests PRIVATE tobrin_app tobrin_format_encoder gtest_main)
add_dependencies(gui_tests tobrin probe)

add_test(NAME unit COMMAND unit_tests)
add_test(NAME e2e COMMAND e2e_tests --gtest_filter=-Soak.*)
add_test(NAME soak COMMAND e2e_tests --gtest_filter=Soak.*)
add_test(NAME imports COMMAND sh ${CMAKE_SOURCE_DIR}/tests/imports/check-imports.sh
  ${CMAKE_OBJDUMP} $<TARGET_FILE:tobrin>)
set_tests_properties(imports PROPERTIES CROSSCOMPILING_EMULATOR "")
set_tests_properties(unit e2e soak PROPERTIES RESOURCE_LOCK registry TIMEOUT 600)
add_test(NAME gui COMMAND gui_tests)
set_tests_properties(gui PROPERTIES RESOURCE_LOCK registry TIMEOUT 600)
