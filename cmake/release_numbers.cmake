# Turns the numbers of release.cmake into the forms the sources use, and
# writes orvane_release.h and the manifest into the build folder.
include(${CMAKE_SOURCE_DIR}/release.cmake)

# "1.00.00" (hexadecimal digits, as the program shows versions) to 0x01000000.
function(orvane_pack_version name text out_packed out_major)
    if(NOT text MATCHES "^([0-9A-Fa-f][0-9A-Fa-f]?)\\.([0-9A-Fa-f][0-9A-Fa-f]?)\\.([0-9A-Fa-f][0-9A-Fa-f]?)$")
        message(FATAL_ERROR "release.cmake: ${name} is \"${text}\"; write it as major.minor.patch, e.g. 1.00.00")
    endif()
    math(EXPR major "0x${CMAKE_MATCH_1}")
    math(EXPR packed "(0x${CMAKE_MATCH_1} << 24) | (0x${CMAKE_MATCH_2} << 16) | (0x${CMAKE_MATCH_3} << 8)"
         OUTPUT_FORMAT HEXADECIMAL)
    set(${out_packed} ${packed} PARENT_SCOPE)
    set(${out_major} ${major} PARENT_SCOPE)
endfunction()

foreach(_n ORVANE_APP_BUILD ORVANE_BOOT_BUILD ORVANE_SCANNER_VERSION)
    if(NOT ${_n} MATCHES "^[0-9]+$")
        message(FATAL_ERROR "release.cmake: ${_n} is \"${${_n}}\"; it must be a whole number")
    endif()
endforeach()
if(ORVANE_APP_BUILD GREATER 65535)
    message(FATAL_ERROR "release.cmake: ORVANE_APP_BUILD ${ORVANE_APP_BUILD} does not fit the version record (at most 65535)")
endif()
if(NOT ORVANE_XLOADER_VERSION MATCHES "^[0-9][0-9.]*$")
    message(FATAL_ERROR "release.cmake: ORVANE_XLOADER_VERSION is \"${ORVANE_XLOADER_VERSION}\"; digits and dots only")
endif()
orvane_pack_version(ORVANE_APP_VERSION ${ORVANE_APP_VERSION} ORVANE_APP_PACKED ORVANE_APP_MAJOR)
orvane_pack_version(ORVANE_BOOT_VERSION ${ORVANE_BOOT_VERSION} ORVANE_BOOT_PACKED _unused)
set(ORVANE_RELEASE_VERSION ${ORVANE_APP_MAJOR}.${ORVANE_APP_BUILD}.0.0)

# The copyright year is the one date the program carries. It comes from
# SOURCE_DATE_EPOCH, else from the commit, so that a build does not depend on
# the day it ran.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
        OUTPUT_VARIABLE _epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE _rc)
    if(_rc EQUAL 0 AND _epoch MATCHES "^[0-9]+$")
        set(ENV{SOURCE_DATE_EPOCH} ${_epoch})
    endif()
endif()
string(TIMESTAMP ORVANE_COPYRIGHT_YEAR "%Y" UTC)

configure_file(${CMAKE_SOURCE_DIR}/resources/release.h.in ${CMAKE_BINARY_DIR}/orvane_release.h @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/resources/OrvaneUpdate.manifest.in ${CMAKE_BINARY_DIR}/OrvaneUpdate.manifest @ONLY)
