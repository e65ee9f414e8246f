# The table of machines (machines/*.machine): the rows, and the banks' geometry they share as a
# C++ header (machines/mapper.h in the build tree) for bankplan and bankrom. A row whose window,
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
