# The Debian package's build (preset "package") takes its compiler and linker flags from
# dpkg-buildflags, as a Debian build does: the distribution's optimisation and its hardening
# (PIE, RELRO, bind-now, fortified functions, stack protector), with the source folder's path
# mapped away so that two builds give the same bytes. The preset includes this file right after
# project(), before any program is defined.
# Options of one's own in DEB_BUILD_MAINT_OPTIONS are kept; the variable unset gives no leading
# blank, which dpkg-buildflags takes for an empty option and warns about.
string(STRIP "$ENV{DEB_BUILD_MAINT_OPTIONS} hardening=+all" assetkit_maint_options)
set(assetkit_buildflags_env "DEB_BUILD_MAINT_OPTIONS=${assetkit_maint_options}")
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env "${assetkit_buildflags_env}" dpkg-buildflags --get ${kind}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE assetkit_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
endforeach()
string(APPEND CMAKE_CXX_FLAGS " ${assetkit_CPPFLAGS} ${assetkit_CXXFLAGS}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${assetkit_LDFLAGS}")
message(STATUS "dpkg-buildflags: ${CMAKE_CXX_FLAGS} | ${CMAKE_EXE_LINKER_FLAGS}")
