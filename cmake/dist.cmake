# Distribution (make dist), made by CPack from the host build:
#   build/dist/tobrin_VERSION_ARCH.deb   /usr/bin/tobrin-pack, the runners in
#                                        /usr/lib/tobrin/, man page, completion
#   build/dist/tobrin-VERSION-windows.zip  tobrin-pack.exe beside both runners
# The runners and the Windows packer come from the i686 and x86_64 builds
# (TOBRIN_WIN32_DIR, TOBRIN_WIN64_DIR). Every member's time is
# SOURCE_DATE_EPOCH (the last commit's time when unset), so that two builds
# of one commit give the same bytes.

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TOBRIN_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                  OUTPUT_VARIABLE TOBRIN_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE git_failed)
  if(git_failed OR TOBRIN_SOURCE_DATE_EPOCH STREQUAL "")
    set(TOBRIN_SOURCE_DATE_EPOCH 0)
  endif()
endif()
set(ENV{SOURCE_DATE_EPOCH} "${TOBRIN_SOURCE_DATE_EPOCH}")  # string(TIMESTAMP) follows it
string(TIMESTAMP TOBRIN_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

set(TOBRIN_DIST_FILES ${CMAKE_BINARY_DIR}/dist-files)
set(TOBRIN_MAINTAINER "Tobrin <packages@tobrin.com>")

# The Debian documentation: the licence as the copyright file, a changelog
# of this version, and the man page, compressed without names or times.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE license)
string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
string(REGEX REPLACE "\n([^\n])" "\n \\1" license "${license}")
file(CONFIGURE OUTPUT ${TOBRIN_DIST_FILES}/copyright CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: tobrin

Files: *
Copyright: 2026 Tobrin
License: Expat
 ${license}")
file(CONFIGURE OUTPUT ${TOBRIN_DIST_FILES}/changelog CONTENT
"tobrin (${PROJECT_VERSION}) stable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${TOBRIN_MAINTAINER}  ${TOBRIN_RELEASE_DATE}
")
set(gzipped ${TOBRIN_DIST_FILES}/tobrin-pack.1.gz ${TOBRIN_DIST_FILES}/changelog.gz)
add_custom_command(OUTPUT ${gzipped}
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/tools/pack/tobrin-pack.1 > ${TOBRIN_DIST_FILES}/tobrin-pack.1.gz
  COMMAND gzip -9n -c ${TOBRIN_DIST_FILES}/changelog > ${TOBRIN_DIST_FILES}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/pack/tobrin-pack.1 ${TOBRIN_DIST_FILES}/changelog
  VERBATIM)
add_custom_target(dist_files ALL DEPENDS ${gzipped})

# The Debian package: component "linux", installed under /usr.
install(TARGETS tobrin-pack RUNTIME DESTINATION bin COMPONENT linux)
install(FILES ${TOBRIN_WIN32_DIR}/tobrin.exe DESTINATION lib/tobrin COMPONENT linux)
install(FILES ${TOBRIN_WIN64_DIR}/tobrin.exe DESTINATION lib/tobrin RENAME tobrin64.exe COMPONENT linux)
install(FILES ${TOBRIN_DIST_FILES}/tobrin-pack.1.gz DESTINATION share/man/man1 COMPONENT linux)
install(FILES ${CMAKE_SOURCE_DIR}/tools/pack/tobrin-pack.bash DESTINATION share/bash-completion/completions
        RENAME tobrin-pack COMPONENT linux)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${TOBRIN_DIST_FILES}/copyright ${TOBRIN_DIST_FILES}/changelog.gz
        DESTINATION share/doc/tobrin COMPONENT linux)
# The pages the README links to, beside it.
file(GLOB TOBRIN_DOC_PAGES ${CMAKE_SOURCE_DIR}/docs/*.md)
list(SORT TOBRIN_DOC_PAGES)
install(FILES ${TOBRIN_DOC_PAGES} DESTINATION share/doc/tobrin/docs COMPONENT linux)

# The Windows archive: component "windows", one folder.
install(FILES ${TOBRIN_WIN32_DIR}/tobrin-pack.exe ${TOBRIN_WIN32_DIR}/tobrin.exe
              ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
        DESTINATION . COMPONENT windows)
install(FILES ${TOBRIN_WIN64_DIR}/tobrin.exe DESTINATION . RENAME tobrin64.exe COMPONENT windows)
install(FILES ${TOBRIN_DOC_PAGES} DESTINATION docs COMPONENT windows)

set(CPACK_PACKAGE_NAME tobrin)
set(CPACK_PACKAGE_VENDOR Tobrin)
set(CPACK_PACKAGE_CONTACT "${TOBRIN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "packer of self-extracting Windows package runners")
set(CPACK_PACKAGE_DESCRIPTION "tobrin-pack binds a folder of files into a copy of the Tobrin runner, a small
Windows program that extracts them into a temporary folder, shows the
package's localized message and starts its payload. It lists, verifies and
extracts packed programs without running them. The 32-bit and 64-bit
runners are included.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_SOURCE_DIR}/build/dist)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_GENERATOR DEB ZIP)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# Each generator packs one component: its settings, read by cpack per
# generator, are written here.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackPerGenerator.cmake)
file(CONFIGURE OUTPUT ${CPACK_PROJECT_CONFIG_FILE} CONTENT [[
set(ENV{SOURCE_DATE_EPOCH} "@TOBRIN_SOURCE_DATE_EPOCH@")
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_INSTALL_CMAKE_PROJECTS "@CMAKE_BINARY_DIR@;@PROJECT_NAME@;linux;/")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
else()
  set(CPACK_INSTALL_CMAKE_PROJECTS "@CMAKE_BINARY_DIR@;@PROJECT_NAME@;windows;/")
  set(CPACK_PACKAGE_FILE_NAME "tobrin-@PROJECT_VERSION@-windows")
  set(CPACK_PACKAGING_INSTALL_PREFIX /)
endif()
]] @ONLY)

include(CPack)
