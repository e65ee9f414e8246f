# Manual pages as they are installed. The page beside a program's source names the toolkit in its
# .Os line; the installed page carries the project's version there too, so the version is written
# in one place. On Linux and macOS the page is compressed the way Debian wants it (gzip -n -9:
# no name or time stamp inside, so two builds give the same bytes); the Windows build renders it
# as HTML, since Windows has no man.
# toolkit_manual_page(name [SECTION n] [SOURCE file]): section 1 and name/name.1 unless given.
function(toolkit_manual_page program)
    cmake_parse_arguments(PAGE "" "SECTION;SOURCE" "" ${ARGN})
    if(NOT PAGE_SECTION)
        set(PAGE_SECTION 1)
    endif()
    set(source ${PROJECT_SOURCE_DIR}/${program}/${program}.1)
    if(PAGE_SOURCE)
        set(source ${PAGE_SOURCE})
    endif()
    set(folder ${PROJECT_BINARY_DIR}/man)
    set(page ${folder}/${program}.${PAGE_SECTION})
    file(READ ${source} text)
    string(REGEX REPLACE "(^|\n)\\.Os[^\n]*" "\\1.Os ${PROJECT_NAME} ${PROJECT_VERSION}" text
                         "${text}")
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    # Rewritten only when it changes, so that an unchanged page is not compressed again.
    set(old "")
    if(EXISTS ${page})
        file(READ ${page} old)
    endif()
    if(NOT old STREQUAL text)
        file(WRITE ${page} "${text}")
    endif()

    if(WIN32)
        find_program(TOOLKIT_MANDOC mandoc)
        if(NOT TOOLKIT_MANDOC)
            message(WARNING "mandoc not found (Debian package mandoc): no manual pages in the zip")
            return()
        endif()
        add_custom_command(OUTPUT ${folder}/${program}.html
            COMMAND ${TOOLKIT_MANDOC} -T html ${page} > ${folder}/${program}.html
            DEPENDS ${page})
        add_custom_target(assetkit_${program}_page ALL DEPENDS ${folder}/${program}.html)
        install(FILES ${folder}/${program}.html DESTINATION manual)
    else()
        add_custom_command(OUTPUT ${page}.gz
            COMMAND gzip -n -9 -f -k ${program}.${PAGE_SECTION}
            WORKING_DIRECTORY ${folder}
            DEPENDS ${page})
        add_custom_target(assetkit_${program}_page ALL DEPENDS ${page}.gz)
        install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${PAGE_SECTION})
    endif()
endfunction()
