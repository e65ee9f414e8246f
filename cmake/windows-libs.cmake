# The libraries of the companion programs on Windows: cross-built with MinGW-w64 from Debian's
# source packages by scripts/build-windows-libs into a prefix outside the checkout, and found here
# with pkg-config in that prefix alone, with the flags of static linking (each .pc file's private
# libraries too), so that the .exe files need no DLL beside them.
#
# The prefix: the environment variable ASSETKIT_WINDOWS_LIBS (scripts/test-all sets it), else
# the cache variable of that name while it names a complete build, else the complete build that
# scripts/build-windows-libs --print-prefix names for the sources apt has now. Without one, the
# companion programs are not built for Windows and the converters still are.
set(assetkit_libs_doc "Prefix of the companion programs' libraries from scripts/build-windows-libs")
if(DEFINED ENV{ASSETKIT_WINDOWS_LIBS})
    set(ASSETKIT_WINDOWS_LIBS $ENV{ASSETKIT_WINDOWS_LIBS} CACHE PATH "${assetkit_libs_doc}" FORCE)
elseif(NOT EXISTS "${ASSETKIT_WINDOWS_LIBS}/complete")
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-windows-libs --print-prefix
        OUTPUT_VARIABLE prefix OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE failed ERROR_QUIET)
    if(failed)
        set(prefix "")
    endif()
    set(ASSETKIT_WINDOWS_LIBS "${prefix}" CACHE PATH "${assetkit_libs_doc}" FORCE)
endif()

# pkg-config's answers are cached, the libraries' paths with them: a new prefix asks again.
if(NOT "${ASSETKIT_WINDOWS_LIBS}" STREQUAL "${assetkit_libs_found_in}")
    get_cmake_property(cached CACHE_VARIABLES)
    foreach(variable IN LISTS cached)
        if(variable MATCHES "^(__pkg_config_checked_|pkgcfg_lib_)")
            unset(${variable} CACHE)
        endif()
    endforeach()
    set(assetkit_libs_found_in "${ASSETKIT_WINDOWS_LIBS}" CACHE INTERNAL "")
endif()

if(ASSETKIT_WINDOWS_LIBS AND EXISTS ${ASSETKIT_WINDOWS_LIBS}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_LIBDIR} ${ASSETKIT_WINDOWS_LIBS}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
    set(PKG_CONFIG_ARGN --static)
    # The libraries pkg-config names are looked for in the prefix as it stands, not under the
    # MinGW-w64 root that the toolchain file keeps every search in.
    list(APPEND CMAKE_FIND_ROOT_PATH ${ASSETKIT_WINDOWS_LIBS})
else()
    message(WARNING "No libraries for the companion programs on Windows: run "
                    "scripts/build-windows-libs, which builds them once into a cache")
    # pkg-config must not find the build machine's own libraries for a Windows program.
    set(ENV{PKG_CONFIG_LIBDIR} ${PROJECT_BINARY_DIR}/no-pkgconfig)
endif()
