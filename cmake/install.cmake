# Installing: the programs into bin/ and their manual pages, compressed, into share/man/man1/
# (the players into share/assetkit/player/, their page into share/man/man7/),
# under any prefix (cmake --install <build> --prefix <folder>), with the licence and the changelog
# in share/doc/assetkit/; the Debian package is made from them (package.cmake). The Windows build
# installs the .exe files, README, LICENSE and the manual pages as HTML into one folder, which
# becomes the Windows zip.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/lean-startup.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/manpages.cmake)

if(WIN32)
    set(assetkit_bindir .)
else()
    set(assetkit_bindir ${CMAKE_INSTALL_BINDIR})
endif()

# A stripped install (cmake --install --strip, and the packages) also drops the compilers' names
# from the programs' .comment section, as Debian's own strip step does.
function(assetkit_strip_comment program)
    if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_STRIP)
        install(CODE "if(CMAKE_INSTALL_DO_STRIP)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${assetkit_bindir}/${program}\"
                COMMAND_ERROR_IS_FATAL ANY)
        endif()")
    endif()
endfunction()

# assetkit_install_program(name [CONVERTER]): installs a program with its manual page
# <name>/<name>.1; called by assetkit_program() for every program it declares. The converters need
# the C++ standard library alone, so they can start lean; the companion programs link Debian's
# shared libraries.
function(assetkit_install_program program)
    install(TARGETS assetkit_${program} RUNTIME DESTINATION ${assetkit_bindir})
    assetkit_strip_comment(${program})
    assetkit_manual_page(${program})
    if(ARGV1 STREQUAL "CONVERTER")
        assetkit_lean_startup(assetkit_${program})
    endif()
endfunction()

# The Z80 sample players, for a user's own Makefile: sources, header, settings and player-timing
# in share/assetkit/player/ (player/ in the Windows zip), with their manual page in section 7.
if(WIN32)
    set(assetkit_playerdir player)
else()
    set(assetkit_playerdir ${CMAKE_INSTALL_DATADIR}/assetkit/player)
endif()
install(FILES
    ${PROJECT_SOURCE_DIR}/player/linear.s
    ${PROJECT_SOURCE_DIR}/player/psg.s
    ${PROJECT_SOURCE_DIR}/player/ay.s
    ${PROJECT_SOURCE_DIR}/player/psg3.s
    ${PROJECT_SOURCE_DIR}/player/ay3.s
    ${PROJECT_SOURCE_DIR}/player/assetkit-delay.inc
    ${PROJECT_SOURCE_DIR}/player/assetkit-play.inc
    ${PROJECT_SOURCE_DIR}/player/settings.s
    ${PROJECT_SOURCE_DIR}/player/player.h
    DESTINATION ${assetkit_playerdir})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/player/player-timing DESTINATION ${assetkit_playerdir})
assetkit_manual_page(assetkit-player SECTION 7 SOURCE ${PROJECT_SOURCE_DIR}/player/assetkit-player.7)

# On Windows the zip's README, licences and texts come from cmake/windows-zip.cmake, which the top
# CMakeLists.txt includes once every program is declared, for its list of them.
if(NOT WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/debian-docs.cmake)
endif()

