# Lean start-up for the programs on Linux: a converter's whole run is a few milliseconds, most of it
# spent starting the process, so the programs are linked statically and skip the dynamic loader.
# Sanitizer builds need the dynamic runtime and keep it; ASSETKIT_STATIC=OFF links the C library
# dynamically and only the C++ runtime statically.
# TOOLKIT_STATIC is the option's former name, still taken for one release.
if(DEFINED TOOLKIT_STATIC AND NOT DEFINED ASSETKIT_STATIC)
    message(DEPRECATION "TOOLKIT_STATIC is now ASSETKIT_STATIC")
    set(ASSETKIT_STATIC ${TOOLKIT_STATIC} CACHE BOOL "Link the programs statically on Linux")
endif()
option(ASSETKIT_STATIC "Link the programs statically on Linux" ON)

function(assetkit_lean_startup target)
    if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        return()
    endif()
    string(FIND "${CMAKE_CXX_FLAGS} ${CMAKE_EXE_LINKER_FLAGS}" "-fsanitize" sanitized)
    if(NOT sanitized EQUAL -1)
        return()
    endif()
    if(ASSETKIT_STATIC)
        target_link_options(${target} PRIVATE -static)
    else()
        target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
    endif()
endfunction()
