cmake_minimum_required(VERSION 3.20)
# The executables' check, with llvm-readobj and objdump (the cross build only): every executable
# of PROGRAMS and FILES imports, directly or delay-loaded, only Windows' own DLLs; each of
# PROGRAMS holds no resource but the icon ICON: one image of ICON's size less its 22-byte header
# and the group 101 of one entry (20 bytes), no name, time or version in any resource table.
# Included, it gives halvoran_check_executables(TEST PROGRAMS exe... [FILES exe...]) and checks
# the icon file itself.
if(NOT CMAKE_SCRIPT_MODE_FILE)
    find_program(HALVORAN_READOBJ NAMES llvm-readobj llvm-readobj-14)
    function(halvoran_check_executables name)
        cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PROGRAMS;FILES")
        add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -DREADOBJ=${HALVORAN_READOBJ}
                 -DOBJDUMP=${CMAKE_OBJDUMP} -DICON=${PROJECT_SOURCE_DIR}/res/halvoran.ico
                 "-DPROGRAMS=${arg_PROGRAMS}" "-DFILES=${arg_FILES}"
                 -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE})
        set_tests_properties(${name} PROPERTIES LABELS host)
    endfunction()
    # The icon: one 256 x 256, 32-bit entry naming a 256 x 256 RGBA PNG image.
    add_test(NAME icon_is_one_256_png COMMAND file -b ${PROJECT_SOURCE_DIR}/res/halvoran.ico)
    set_tests_properties(icon_is_one_256_png PROPERTIES LABELS host PASS_REGULAR_EXPRESSION "^MS \
Windows icon resource - 1 icon, 256x256 with PNG image data, 256 x 256, 8-bit/color RGBA, \
non-interlaced, 32 bits/pixel\n$")
    return()
endif()

# Windows' own DLLs: the patterns of system-dlls.txt, which the Windows CI job reads too.
file(READ ${CMAKE_CURRENT_LIST_DIR}/system-dlls.txt system)
string(STRIP "${system}" system)
string(REGEX REPLACE "[ \n]+" "|" system "${system}")
string(REPLACE "." "\\." system "${system}")
string(REPLACE "*" ".*" system "^(${system})$")
file(SIZE ${ICON} image)
math(EXPR image "${image} - 22" OUTPUT_FORMAT HEXADECIMAL)
string(REPLACE "0x" "0x0*" image ${image})
set(table "Table: Char: 0, Time: 00000000, Ver: 0/0, Num Names: 0, IDs:")
set(id "Entry: ID: 0x[0-9a-f]+")
set(icon_only "^Type ${table} 2 Entry: ID: 0x000003 Name ${table} 1 ${id} Language ${table} 1 \
${id} Leaf: Size: ${image} Entry: ID: 0x00000e Name ${table} 1 Entry: ID: 0x000065 \
Language ${table} 1 ${id} Leaf: Size: 0x000014$")
foreach(exe IN LISTS PROGRAMS FILES)
    execute_process(COMMAND ${READOBJ} --coff-imports ${exe} OUTPUT_VARIABLE out)
    string(REGEX MATCHALL "\n  Name: [^\n]+" dlls "${out}")
    string(REPLACE "\n  Name: " "" dlls "${dlls}")
    string(TOLOWER "${dlls}" dlls)
    message(STATUS "${exe}: imports ${dlls}")
    if(dlls STREQUAL "")
        message(SEND_ERROR "${exe}: llvm-readobj (${READOBJ}) lists no imports")
    endif()
    foreach(dll IN LISTS dlls)
        if(NOT dll MATCHES "${system}")
            message(SEND_ERROR "${exe}: imports ${dll}, which is not a DLL of Windows itself")
        endif()
    endforeach()
    if(exe IN_LIST PROGRAMS)
        execute_process(COMMAND ${OBJDUMP} -p ${exe} OUTPUT_VARIABLE out)
        string(REGEX MATCH "Resource Directory section:\n(.*)\n Resources start" rsrc "${out}")
        # One line a table, entry or leaf: its offset, then what the check reads.
        string(REGEX REPLACE "\n *[0-9a-f]+ +" " " rsrc "\n${CMAKE_MATCH_1}")
        string(REGEX REPLACE ", Value: [0-9a-fx]+|Addr: [0-9a-fx]+, |, Codepage: [0-9]+" "" rsrc
               "${rsrc}")
        string(STRIP "${rsrc}" rsrc)
        message(STATUS "${exe}: resources ${rsrc}")
        if(NOT rsrc MATCHES "${icon_only}")
            message(SEND_ERROR "${exe}: resources other than the icon, or names, times, versions")
        endif()
    endif()
endforeach()
