# The Debian package (cpack -G DEB in a build folder): the three programs and their manual pages,
# at the project's version.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "converters of sounds, palettes and binary files for 8-bit linkers")
set(CPACK_PACKAGE_DESCRIPTION
    "Three small command-line converters that turn assets into data for programs on 8-bit and
16-bit machines, ready for a linker of the ASxxxx family such as SDCC's sdldz80:
samplepack packs the samples of an 8-bit WAV file into 4-bit samples, binobj wraps
any binary file into a text object module with one area and one global symbol, and
palpack turns a 256-colour JASC-PAL palette into a binary palette of 12, 15, 24 or
32 bits a colour.")
if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "assetkit maintainers <assetkit@example.org>")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS sdcc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# Static programs need nothing else installed; dynamic ones get their library dependencies. The
# sample companion programs are always dynamic (libsndfile and libsoxr).
if(NOT TOOLKIT_STATIC OR TARGET sampleprep)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
