# Lean start-up for the programs on Linux: a converter's whole run is a few milliseconds, most of it
# spent starting the process, so the programs are linked statically and skip the dynamic loader.
# Sanitizer builds need the dynamic runtime and keep it; TOOLKIT_STATIC=OFF links the C library
# dynamically and only the C++ runtime statically.
option(TOOLKIT_STATIC "Link the programs statically on Linux" ON)

function(toolkit_lean_startup target)
    if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        return()
    endif()
    string(FIND "${CMAKE_CXX_FLAGS} ${CMAKE_EXE_LINKER_FLAGS}" "-fsanitize" sanitized)
    if(NOT sanitized EQUAL -1)
        return()
    endif()
    # A program linking a library that Debian ships only as a shared object (libspng) sets the
    # target property TOOLKIT_SHARED_LIBRARIES and links the C library dynamically.
    get_target_property(shared ${target} TOOLKIT_SHARED_LIBRARIES)
    if(shared)
        set_property(GLOBAL APPEND PROPERTY TOOLKIT_SHARED_PROGRAMS ${target})
    endif()
    if(TOOLKIT_STATIC AND NOT shared)
        target_link_options(${target} PRIVATE -static)
    else()
        target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
    endif()
endfunction()
