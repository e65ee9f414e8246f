# What the Windows zip holds beside the programs: a README.txt written for Windows (which programs
# the zip holds and how to run them from cmd and PowerShell), the toolkit's LICENSE.txt, and the
# licences of the libraries linked into the companion programs (from scripts/build-windows-libs),
# every text with CR LF line ends and a .txt name, so that any Windows editor opens it.

# One line for each program built, as the README lists them; a program without a line here is
# listed with its manual page.
set(assetkit_descriptions
    "samplepack|packs the samples of an 8-bit WAV file into 4-bit samples (NAME.bin)"
    "binobj|wraps any binary file into an object module for the linker (NAME.o)"
    "palpack|turns a JASC-PAL palette of 256 colours into a binary palette"
    "sampleprep|turns a recording (WAV, FLAC, Ogg Vorbis, Opus...) into the WAV samplepack packs"
    "sampleunpack|plays a packed sample file back into a WAV file to listen to"
    "palprep|turns an editor's palette (GIMP, Adobe, PNG...) into the JASC-PAL palpack reads"
    "palview|draws a palette as the machine shows it, as a PNG picture"
    "tilepack|turns PNG pictures into a machine's tiles, tile maps and sub-palettes"
    "tileview|draws tiles, a tile map and sub-palettes as the machine shows them"
    "bankplan|places assets into as few banks of a 16 KB mapper as it can"
    "bankrom|makes the ROM image of a link with banks from the linker's Intel HEX output")
set(ASSETKIT_PROGRAM_LINES "")
set(companions "")
get_property(assetkit_zip_programs GLOBAL PROPERTY ASSETKIT_PROGRAMS)
foreach(program IN LISTS assetkit_zip_programs)
    set(what "see manual\\${program}.html")
    foreach(entry IN LISTS assetkit_descriptions)
        if(entry MATCHES "^${program}\\|(.*)")
            set(what "${CMAKE_MATCH_1}")
        endif()
    endforeach()
    if(TARGET assetkit_${program})
        string(LENGTH "${program}.exe" width)
        math(EXPR pad "16 - ${width}")
        if(pad LESS 1)
            set(pad 1)
        endif()
        string(REPEAT " " ${pad} spaces)
        string(APPEND ASSETKIT_PROGRAM_LINES "  ${program}.exe${spaces}${what}\n")
        if(program MATCHES "^(sampleprep|sampleunpack|palprep|palview|tilepack|tileview)$")
            list(APPEND companions ${program})
        endif()
    endif()
endforeach()

# assetkit_crlf_text(from to): the text of from, with CR LF line ends, written to to.
function(assetkit_crlf_text from to)
    file(READ ${from} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${to} "${text}")
endfunction()

set(ASSETKIT_LICENSE_LINES "")
if(companions)
    list(JOIN companions ", " names)
    set(ASSETKIT_LICENSE_LINES
        "  licenses\\     the licences of the libraries linked into ${names}")
    file(GLOB libraries RELATIVE ${ASSETKIT_WINDOWS_LIBS}/licenses ${ASSETKIT_WINDOWS_LIBS}/licenses/*)
    foreach(library IN LISTS libraries)
        file(GLOB texts RELATIVE ${ASSETKIT_WINDOWS_LIBS}/licenses/${library}
             ${ASSETKIT_WINDOWS_LIBS}/licenses/${library}/*)
        foreach(text IN LISTS texts)
            string(REGEX REPLACE "\\.txt$" "" base "${text}")
            assetkit_crlf_text(${ASSETKIT_WINDOWS_LIBS}/licenses/${library}/${text}
                ${PROJECT_BINARY_DIR}/zip/licenses/${library}/${base}.txt)
        endforeach()
    endforeach()
    install(DIRECTORY ${PROJECT_BINARY_DIR}/zip/licenses DESTINATION .)
endif()

set(ASSETKIT_ROAD_LINES "")
if(TARGET assetkit_sampleprep AND TARGET assetkit_palprep AND TARGET assetkit_palview)
    set(ASSETKIT_ROAD_LINES "
The two roads
-------------

From a recording to an object module for code bank 2, and from a palette to one at the address
0xD000 under the name _PALETTE, with a picture of the colours a 15-bit machine shows, in cmd
(in PowerShell, put .\\ in front of each program):

  sampleprep.exe --trim 40 hello.flac word.wav
  samplepack.exe word.wav
  binobj.exe word.bin 2
  sampleunpack.exe word.bin word-preview.wav

  palprep.exe --depth 15 \"My palette.gpl\" palette.pal
  palpack.exe palette.pal palette.bin 15
  binobj.exe palette.bin 0xD000 PALETTE
  palview.exe palette.bin palette.png --depth 15

The manual of each program (manual\\sampleprep.html and the rest) tells every option.
")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/README.txt.in ${PROJECT_BINARY_DIR}/README.txt
    @ONLY)
assetkit_crlf_text(${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/zip/README.txt)
assetkit_crlf_text(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/zip/LICENSE.txt)
install(FILES ${PROJECT_BINARY_DIR}/zip/README.txt ${PROJECT_BINARY_DIR}/zip/LICENSE.txt
    DESTINATION .)
