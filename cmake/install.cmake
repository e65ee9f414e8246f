# Installing: the three programs into bin/ and their manual pages into share/man/man1/, under any
# prefix (cmake --install <build> --prefix <folder>), and the Debian package made from them.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/lean-startup.cmake)

foreach(program samplepack binobj palpack sampleprep sampleunpack)
    if(TARGET ${program})
        # Debian has no static libsndfile: the companion programs link their libraries shared.
        if(program MATCHES "^(samplepack|binobj|palpack)$")
            toolkit_lean_startup(${program})
        endif()
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        install(FILES ${PROJECT_SOURCE_DIR}/${program}/${program}.1
                DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
