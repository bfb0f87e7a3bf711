cmake_minimum_required(VERSION 3.20)
# Fails unless two executables hold the same code, data, imports and resources, whatever their
# symbols and headers (time, checksum) say.
# cmake -DOBJCOPY=... -DTESTED=a.exe -DRELEASED=b.exe -DWORK=dir -P check-same-code.cmake
file(MAKE_DIRECTORY ${WORK})
foreach(section .text .rdata .data .idata .rsrc)
    foreach(side TESTED RELEASED)
        execute_process(COMMAND ${OBJCOPY} -O binary -j ${section} ${${side}}
                                ${WORK}/${side}${section} COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
    file(SHA256 ${WORK}/TESTED${section} tested)
    file(SHA256 ${WORK}/RELEASED${section} released)
    if(NOT tested STREQUAL released)
        message(FATAL_ERROR "${section} differs between the tested program and the release")
    endif()
    message(STATUS "${section} ${tested}")
endforeach()
