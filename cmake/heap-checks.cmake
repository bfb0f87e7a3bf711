cmake_minimum_required(VERSION 3.20)
# Runs test executables under Wine with its heap checks at their strictest and fails on any
# heap error or warning, or on a failed test.
#   cmake -DWINE_RUN=<build>/wine-run.sh -DWORK=<folder> -DRUNS="a.exe=filter;b.exe=*"
#         -P heap-checks.cmake
# Each executable runs as a copy named heapchecked_<name>.exe, for which the prefix's image
# options set the global flags that make the heap check every block at every call (validate
# all and parameters, tail and free checking: 0xF0); other runs of the same tests stay fast.
# WINEDEBUG=warn+heap makes the heap report what it finds.
set(ifeo "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options")
file(MAKE_DIRECTORY ${WORK})
set(failed FALSE)
foreach(run IN LISTS RUNS)
    string(REGEX REPLACE "=.*" "" exe "${run}")
    string(REGEX REPLACE "^[^=]*=" "" filter "${run}")
    get_filename_component(name ${exe} NAME)
    set(copy "${WORK}/heapchecked_${name}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E copy ${exe} ${copy})
    execute_process(COMMAND ${WINE_RUN} reg add "${ifeo}\\heapchecked_${name}" /v GlobalFlag
                            /t REG_DWORD /d 0xF0 /f OUTPUT_QUIET ERROR_QUIET)
    string(TIMESTAMP start "%s")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEDEBUG=warn+heap
                            ${WINE_RUN} ${copy} --gtest_color=no --gtest_filter=${filter}
                    OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE rc)
    string(TIMESTAMP end "%s")
    math(EXPR seconds "${end} - ${start}")
    string(REGEX MATCHALL "[^\n]*:(err|warn):heap:[^\n]*" findings "${output}")
    list(LENGTH findings count)
    message(STATUS "${name} ${filter}: exit code ${rc}, ${count} heap reports, ${seconds} s")
    if(count GREATER 0)
        list(SUBLIST findings 0 20 first)
        string(REPLACE ";" "\n" first "${first}")
        message("first heap reports:\n${first}")
        set(failed TRUE)
    elseif(NOT rc EQUAL 0)
        message("${output}")
        set(failed TRUE)
    endif()
endforeach()
if(failed)
    message(FATAL_ERROR "a test failed or the heap reported a fault under its checks")
endif()
