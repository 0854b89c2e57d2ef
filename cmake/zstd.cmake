# zstd, the compression of packages. The native build links Debian's
# libzstd-dev. The MinGW builds (and the fuzzer, so that it runs the very
# decoder the runner runs) compile Debian's zstd sources, which scripts/setup
# fetches into build/third_party/zstd: the runner takes the decoder alone,
# the Windows packer and the tests add the encoder.
#   tobrin_zstd_decoder  decoding (and the common code)
#   tobrin_zstd_encoder  encoding, on top of the decoder's common code
set(TOBRIN_ZSTD_SOURCE_DIR "${CMAKE_SOURCE_DIR}/build/third_party/zstd" CACHE PATH
  "Debian's zstd sources (scripts/setup fetches them)")

if(WIN32 OR TOBRIN_FUZZ)
  set(zstd_lib "${TOBRIN_ZSTD_SOURCE_DIR}/lib")
  if(NOT EXISTS "${zstd_lib}/zstd.h")
    message(FATAL_ERROR "No zstd sources in ${TOBRIN_ZSTD_SOURCE_DIR}: run scripts/setup")
  endif()
  file(GLOB zstd_common_sources "${zstd_lib}/common/*.c")
  file(GLOB zstd_decompress_sources "${zstd_lib}/decompress/*.c")
  file(GLOB zstd_compress_sources "${zstd_lib}/compress/*.c")
  list(FILTER zstd_compress_sources EXCLUDE REGEX "zstdmt_compress\\.c$")
  # The decoder is the runner's one hot loop besides the digest. Built
  # without assembly (MinGW's i686 has none, and one build of C serves both
  # runners), without the error texts (the runner shows none; the packer
  # words its own), with the single-symbol Huffman decoder and the short
  # sequence decoder only; the hot files for speed (-O2), the frame handling
  # around them for size. Measured on the 32-bit runner (docs/format.md, "What
  # compression costs"): this way 67 KB and about 550 MB/s; with the long
  # sequence decoder too, 80 KB and no faster; everything for size, 61 KB
  # and 215 MB/s.
  add_library(tobrin_zstd_decoder STATIC ${zstd_common_sources} ${zstd_decompress_sources})
  target_include_directories(tobrin_zstd_decoder SYSTEM PUBLIC "${zstd_lib}")
  target_compile_definitions(tobrin_zstd_decoder PRIVATE ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=0
    ZSTD_STRIP_ERROR_STRINGS HUF_FORCE_DECOMPRESS_X1 ZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT)
  target_compile_options(tobrin_zstd_decoder PRIVATE -w)
  # The hot loops (sequences, literals, entropy tables) for speed, the frame
  # handling around them for size.
  set_source_files_properties(${zstd_common_sources} ${zstd_decompress_sources} PROPERTIES COMPILE_OPTIONS -Os)
  set_source_files_properties("${zstd_lib}/decompress/zstd_decompress_block.c" "${zstd_lib}/decompress/huf_decompress.c"
    "${zstd_lib}/common/fse_decompress.c" PROPERTIES COMPILE_OPTIONS -O2)
  add_library(tobrin_zstd_encoder STATIC ${zstd_compress_sources})
  target_compile_definitions(tobrin_zstd_encoder PRIVATE ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=0)
  target_compile_options(tobrin_zstd_encoder PRIVATE -O2 -w)
  target_link_libraries(tobrin_zstd_encoder PUBLIC tobrin_zstd_decoder)
  set_target_properties(tobrin_zstd_decoder tobrin_zstd_encoder PROPERTIES POSITION_INDEPENDENT_CODE ON)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TOBRIN_LIBZSTD REQUIRED IMPORTED_TARGET libzstd)
  add_library(tobrin_zstd_decoder INTERFACE)
  target_link_libraries(tobrin_zstd_decoder INTERFACE PkgConfig::TOBRIN_LIBZSTD)
  add_library(tobrin_zstd_encoder INTERFACE)
  target_link_libraries(tobrin_zstd_encoder INTERFACE PkgConfig::TOBRIN_LIBZSTD)
endif()
