# The licence and the changelog, installed where Debian keeps them: share/doc/assetkit/copyright
# in the machine-readable format, made from LICENSE, and changelog.Debian.gz from
# cmake/debian/changelog, whose latest entry also gives the package's revision.
# Beside them, the lintian overrides the package needs (cmake/debian/lintian-overrides).
set(assetkit_docdir ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})
set(assetkit_debian ${PROJECT_BINARY_DIR}/debian)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)

# LICENSE: the copyright line, then the terms from "Permission" on.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" found "${licence}")
set(holder ${CMAKE_MATCH_1})
string(REGEX REPLACE "^.*\n(Permission)" "\\1" terms "${licence}")
string(STRIP "${terms}" terms)
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
file(WRITE ${assetkit_debian}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}

Files: *
Copyright: ${holder}
License: Expat
 ${terms}
")
install(FILES ${assetkit_debian}/copyright DESTINATION ${assetkit_docdir})

file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog latest LIMIT_COUNT 1)
if(NOT latest MATCHES "^${PROJECT_NAME} \\(([^-)]+)-([^)]+)\\)")
    message(FATAL_ERROR "cmake/debian/changelog: the first line names no version: ${latest}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "cmake/debian/changelog: the latest entry is for ${CMAKE_MATCH_1}, the "
                        "project is at ${PROJECT_VERSION}: add an entry for it")
endif()
set(ASSETKIT_DEBIAN_REVISION ${CMAKE_MATCH_2})
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${assetkit_debian}/changelog.Debian
               COPYONLY)
add_custom_command(OUTPUT ${assetkit_debian}/changelog.Debian.gz
    COMMAND gzip -n -9 -f -k changelog.Debian
    WORKING_DIRECTORY ${assetkit_debian}
    DEPENDS ${assetkit_debian}/changelog.Debian)
add_custom_target(assetkit_changelog ALL DEPENDS ${assetkit_debian}/changelog.Debian.gz)
install(FILES ${assetkit_debian}/changelog.Debian.gz DESTINATION ${assetkit_docdir})

install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${PROJECT_NAME})

# The README, and the starter project beside it in examples/: its Makefile, C program, recordings
# palettes and picture, named one by one so that what a build of the examples leaves in the source tree
# stays out. Copied anywhere, the Makefile takes the installed programs from PATH.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${assetkit_docdir})
install(FILES
    ${PROJECT_SOURCE_DIR}/examples/Makefile
    ${PROJECT_SOURCE_DIR}/examples/main.c
    ${PROJECT_SOURCE_DIR}/examples/start.s
    ${PROJECT_SOURCE_DIR}/examples/limits.awk
    ${PROJECT_SOURCE_DIR}/examples/hello.wav
    ${PROJECT_SOURCE_DIR}/examples/bell.wav
    ${PROJECT_SOURCE_DIR}/examples/pastel16.pal
    ${PROJECT_SOURCE_DIR}/examples/pastel16.png
    ${PROJECT_SOURCE_DIR}/examples/rgb332.pal
    ${PROJECT_SOURCE_DIR}/examples/screen.png
    ${PROJECT_SOURCE_DIR}/examples/banner.png
    DESTINATION ${assetkit_docdir}/examples)
