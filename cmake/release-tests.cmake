# The release (scripts/release.sh) is the i686 program: its checks belong to the i686 tree.
# They run on the build machine (label host) and build only the program, twice.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL i686)
    set(release_work ${CMAKE_BINARY_DIR}/release-check)
    add_test(NAME release_is_reproducible
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/scripts/release-check.sh ${release_work})
    set_tests_properties(release_is_reproducible PROPERTIES LABELS host TIMEOUT 900
                         FIXTURES_SETUP release)
    # The released executable passes the program's own checks.
    set(release_exe ${release_work}/a/dist/Halvoran.exe)
    add_test(NAME release_imports_system_dlls_only
             COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${HALVORAN_OBJDUMP} -DFILES=${release_exe}
                     -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check-imports.cmake)
    add_test(NAME release_resources_hold_only_the_icon
             COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${HALVORAN_OBJDUMP} -DFILES=${release_exe}
                     -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check-resources.cmake)
    # ... and is the program the tests check, only stripped.
    find_program(HALVORAN_OBJCOPY NAMES ${TOOLCHAIN_PREFIX}-objcopy objcopy)
    add_test(NAME release_is_the_tested_program
             COMMAND ${CMAKE_COMMAND} -DOBJCOPY=${HALVORAN_OBJCOPY}
                     -DTESTED=$<TARGET_FILE:Halvoran> -DRELEASED=${release_exe}
                     -DWORK=${release_work}/sections
                     -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check-same-code.cmake)
    set_tests_properties(release_imports_system_dlls_only release_resources_hold_only_the_icon
                         release_is_the_tested_program
                         PROPERTIES LABELS host FIXTURES_REQUIRED release)
endif()
