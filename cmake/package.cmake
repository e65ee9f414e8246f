# Packages made with CPack from what install.cmake installs, at the project's version:
# - on Linux, the Debian package (preset "package": cmake --workflow --preset package), built the
#   Debian way: flags from dpkg-buildflags (cmake/debian-flags.cmake), the C library linked
#   dynamically, dependencies computed by dpkg-shlibdeps, and the same bytes from every build of
#   one commit (every time stamp in it is the commit's date, SOURCE_DATE_EPOCH);
# - on Windows, a zip of the .exe files, stripped, with README, LICENSE and the manual pages.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the assetkit authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "converters of sounds, palettes and binary files for 8-bit linkers")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
    include(CPack)
    return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DESCRIPTION
    "Small command-line converters that turn assets into data for programs
on 8-bit and 16-bit machines, ready for a linker of the ASxxxx family
such as SDCC's sdldz80: samplepack packs the samples of an 8-bit WAV
file into 4-bit samples, binobj wraps any binary file into a text object
module with one area and one global symbol, and palpack turns a
256-colour JASC-PAL palette into a binary palette of 12, 15, 24 or 32
bits a colour. Around them, sampleprep turns any recording into the WAV
file samplepack packs, sampleunpack plays a packed file back into a WAV
file to listen to, palprep turns any editor's palette into the one
palpack reads, palview draws a palette as the machine shows it,
tilepack turns PNG pictures into a machine's tiles, tile maps and
sub-palettes, tileview draws them back as the machine shows them,
bankplan places assets into as few banks of a 16 KB mapper as it can,
and bankrom makes the ROM image of a link with banks.")
if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "assetkit maintainers <assetkit@example.org>")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ASSETKIT_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS sdcc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(ASSETKIT_STATIC)
    message(STATUS "The programs are linked statically: make the Debian package with the "
                   "preset \"package\" (cmake --workflow --preset package)")
endif()

# Every time stamp in the package is the date of the commit it is built from.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE assetkit_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE failed ERROR_QUIET)
    if(failed OR assetkit_epoch STREQUAL "")
        message(STATUS "Not a git checkout: the package's time stamps are the time it is made")
    else()
        set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackEpoch.cmake)
        file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
             "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})\n"
             "    set(ENV{SOURCE_DATE_EPOCH} ${assetkit_epoch})\n"
             "endif()\n")
    endif()
endif()
include(CPack)
