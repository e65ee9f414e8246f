# Installing: the programs into bin/ and their manual pages, compressed, into share/man/man1/,
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

if(WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
else()
    include(${CMAKE_CURRENT_LIST_DIR}/debian-docs.cmake)
endif()

