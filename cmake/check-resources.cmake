cmake_minimum_required(VERSION 3.20)
# Fails unless each executable's only resources are its icon: one icon group, numbered 101,
# listing one image, and that image; no named entry, no time in any resource directory.
# cmake -DOBJDUMP=... -DFILES="a.exe;b.exe" -P check-resources.cmake
foreach(file IN LISTS FILES)
    execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
    string(FIND "${dump}" "The .rsrc Resource Directory section:" start)
    if(NOT rc EQUAL 0 OR start EQUAL -1)
        message(FATAL_ERROR "${file}: objdump found no resource directory")
    endif()
    string(SUBSTRING "${dump}" ${start} -1 tree)
    string(REGEX REPLACE "\n Resources start.*" "" tree "${tree}")

    # Each leaf as type/name/size, from the entries above it (objdump indents by depth).
    set(leaves "")
    string(REPLACE "\n" ";" lines "${tree}")
    foreach(line IN LISTS lines)
        if(line MATCHES "Table: .*Time: ([0-9a-f]+).*Num Names: ([0-9]+)")
            set(names ${CMAKE_MATCH_2})
            if(NOT CMAKE_MATCH_1 MATCHES "^0+$" OR NOT names EQUAL 0)
                message(FATAL_ERROR "${file}: a resource table has a time or names: ${line}")
            endif()
        elseif(line MATCHES "^[0-9a-f]+   Entry: ID: 0x([0-9a-f]+)")
            math(EXPR type "0x${CMAKE_MATCH_1}")
        elseif(line MATCHES "^[0-9a-f]+     Entry: ID: 0x([0-9a-f]+)")
            math(EXPR name "0x${CMAKE_MATCH_1}")
        elseif(line MATCHES "Leaf: .*Size: 0x([0-9a-f]+)")
            math(EXPR size "0x${CMAKE_MATCH_1}")
            list(APPEND leaves "${type}/${name}/${size}")
        endif()
    endforeach()
    get_filename_component(label ${file} NAME)
    message(STATUS "${label}: ${leaves}")

    # An icon image (type 3) of any size, then the group (type 14): a 6-byte header and one
    # 14-byte entry.
    if(NOT leaves MATCHES "^3/[0-9]+/[0-9]+;14/101/20$")
        message(FATAL_ERROR "${file}: resources other than the icon: ${leaves}")
    endif()
endforeach()
