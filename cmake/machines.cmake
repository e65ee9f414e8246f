# The table of machines (machines/*.machine): the rows, the banks' geometry they share as a C++
# header (machines/mapper.h in the build tree) for bankplan and bankrom, and the picture formats
# of the rows that have one (machines/pictures.inc) for tilepack and tileview. A row whose window,
# bank size or bank range differs from the others stops the configuration: the programs place
# every machine's banks alike.
file(GLOB assetkit_machine_rows CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/machines/*.machine)
foreach(key MAPPER_WINDOW MAPPER_SIZE BANK_FIRST BANK_LAST)
    unset(ASSETKIT_${key})
    foreach(row IN LISTS assetkit_machine_rows)
        file(STRINGS ${row} line REGEX "^${key}=")
        string(REGEX REPLACE "^${key}=" "" value "${line}")
        if(value STREQUAL "")
            message(FATAL_ERROR "${row}: no ${key}")
        elseif(DEFINED ASSETKIT_${key} AND NOT value STREQUAL ASSETKIT_${key})
            message(FATAL_ERROR "${row}: ${key}=${value}, where the other rows have "
                                "${ASSETKIT_${key}}: bankplan and bankrom place every machine's "
                                "banks alike")
        endif()
        set(ASSETKIT_${key} ${value})
    endforeach()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/machines/mapper.h.in
    ${PROJECT_BINARY_DIR}/generated/machines/mapper.h @ONLY)
add_library(assetkit_machines INTERFACE)
target_include_directories(assetkit_machines INTERFACE ${PROJECT_BINARY_DIR}/generated)

# A row with a PICTURE_MODE becomes one initializer of tiles::Machine: its name, tile layout, map,
# colours a sub-palette, sub-palettes, colour depth and room for tiles. The tiles library checks
# that the layout and map are rows of its own.
set(assetkit_picture_rows "")
foreach(row IN LISTS assetkit_machine_rows)
    get_filename_component(name ${row} NAME_WE)
    foreach(key PICTURE_MODE PICTURE_LAYOUT PICTURE_MAP PICTURE_COLOURS PICTURE_PALETTES
                COLOUR_DEPTH PICTURE_ROOM)
        file(STRINGS ${row} line REGEX "^${key}=")
        if(line STREQUAL "")
            message(FATAL_ERROR "${row}: no ${key}")
        endif()
        string(REGEX REPLACE "^${key}=" "" ${key} "${line}")
    endforeach()
    if(PICTURE_MODE STREQUAL "")
        continue()
    endif()
    foreach(key PICTURE_COLOURS PICTURE_PALETTES COLOUR_DEPTH PICTURE_ROOM)
        if(NOT ${key} MATCHES "^[0-9]+$")
            message(FATAL_ERROR "${row}: ${key}=${${key}}: expected a number")
        endif()
    endforeach()
    string(APPEND assetkit_picture_rows
        "{\"${name}\", \"${PICTURE_LAYOUT}\", \"${PICTURE_MAP}\", ${PICTURE_COLOURS}, "
        "${PICTURE_PALETTES}, ${COLOUR_DEPTH}, ${PICTURE_ROOM}, \"${PICTURE_MODE}\"},\n")
endforeach()
# Rewritten only when it changes, so that a new configuration rebuilds nothing.
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/machines/pictures.inc
    CONTENT "// Written by CMake from machines/*.machine.\n@assetkit_picture_rows@" @ONLY)
