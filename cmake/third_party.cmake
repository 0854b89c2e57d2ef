# Header-only libraries from Debian's packages. Only the library's own headers
# are copied into the build tree and put on the include path, so that the
# MinGW builds never see the host's /usr/include.
set(TOBRIN_THIRD_PARTY_INCLUDE "${CMAKE_BINARY_DIR}/third_party/include")

# tobrin_header_only(PATH...): PATH is a header or header folder below
# /usr/include (e.g. CLI, xxhash.h).
function(tobrin_header_only)
  foreach(path IN LISTS ARGN)
    find_path(found_${path} ${path} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT found_${path})
      message(FATAL_ERROR "${path} is missing from /usr/include: run scripts/setup")
    endif()
    file(COPY "${found_${path}}/${path}" DESTINATION "${TOBRIN_THIRD_PARTY_INCLUDE}")
  endforeach()
endfunction()
