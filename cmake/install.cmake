# Installing: the programs into bin/ and their manual pages, compressed, into share/man/man1/,
# under any prefix (cmake --install <build> --prefix <folder>), with the licence and the changelog
# in share/doc/assetkit/; the Debian package is made from them (package.cmake). The Windows build
# installs the .exe files, README, LICENSE and the manual pages as HTML into one folder, which
# becomes the Windows zip.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/lean-startup.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/manpages.cmake)

if(WIN32)
    set(toolkit_bindir .)
else()
    set(toolkit_bindir ${CMAKE_INSTALL_BINDIR})
endif()

# A stripped install (cmake --install --strip, and the packages) also drops the compilers' names
# from the programs' .comment section, as Debian's own strip step does.
function(toolkit_strip_comment program)
    if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_STRIP)
        install(CODE "if(CMAKE_INSTALL_DO_STRIP)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${toolkit_bindir}/${program}\"
                COMMAND_ERROR_IS_FATAL ANY)
        endif()")
    endif()
endfunction()

# Every program of the toolkit, one a line. Each is installed with its manual page PROG/PROG.1.
set(toolkit_programs
        samplepack
        binobj
        palpack
        sampleprep
        sampleunpack
        palprep
        palview
        )
foreach(program IN LISTS toolkit_programs)
    if(TARGET assetkit_${program})
        install(TARGETS assetkit_${program} RUNTIME DESTINATION ${toolkit_bindir})
        toolkit_strip_comment(${program})
        toolkit_manual_page(${program})
    endif()
endforeach()

# The converters need the C++ standard library alone, so they can start lean; the companion
# programs link Debian's shared libraries.
foreach(program samplepack binobj palpack)
    if(TARGET assetkit_${program})
        toolkit_lean_startup(assetkit_${program})
    endif()
endforeach()

if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/windows-zip.cmake)
else()
    include(${CMAKE_CURRENT_LIST_DIR}/debian-docs.cmake)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
