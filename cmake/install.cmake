# Installing: the programs into bin/ and their manual pages, compressed, into share/man/man1/
# (the players into share/assetkit/player/, the machines into share/assetkit/machines/, their
# pages into share/man/man7/),
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
# in share/assetkit/player/ (player/ in the Windows zip), with their manual page in section 7;
# the table of machines beside them in share/assetkit/machines/, as player-timing and the starter
# find it. The build tree holds the same folders under share/assetkit/, beside its bin/, so that
# a starter given BIN=<build>/bin finds them as it would beside an installed toolkit.
if(WIN32)
    set(assetkit_playerdir player)
    set(assetkit_machinesdir machines)
else()
    set(assetkit_playerdir ${CMAKE_INSTALL_DATADIR}/assetkit/player)
    set(assetkit_machinesdir ${CMAKE_INSTALL_DATADIR}/assetkit/machines)
endif()
set(assetkit_player_files linear.s psg.s ay.s psg3.s ay3.s assetkit-delay.inc assetkit-play.inc
    settings.s player.h player-timing)
foreach(file IN LISTS assetkit_player_files)
    configure_file(${PROJECT_SOURCE_DIR}/player/${file}
        ${CMAKE_BINARY_DIR}/share/assetkit/player/${file} COPYONLY)
    if(file STREQUAL "player-timing")
        install(PROGRAMS ${PROJECT_SOURCE_DIR}/player/${file} DESTINATION ${assetkit_playerdir})
    else()
        install(FILES ${PROJECT_SOURCE_DIR}/player/${file} DESTINATION ${assetkit_playerdir})
    endif()
endforeach()
foreach(row IN LISTS assetkit_machine_rows)
    get_filename_component(name ${row} NAME)
    configure_file(${row} ${CMAKE_BINARY_DIR}/share/assetkit/machines/${name} COPYONLY)
endforeach()
install(FILES ${assetkit_machine_rows} DESTINATION ${assetkit_machinesdir})
assetkit_manual_page(assetkit-player SECTION 7 SOURCE ${PROJECT_SOURCE_DIR}/player/assetkit-player.7)
assetkit_manual_page(assetkit-machines SECTION 7
    SOURCE ${PROJECT_SOURCE_DIR}/machines/assetkit-machines.7)

# On Windows the zip's README, licences and texts come from cmake/windows-zip.cmake, which the top
# CMakeLists.txt includes once every program is declared, for its list of them.
if(NOT WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/debian-docs.cmake)
endif()

