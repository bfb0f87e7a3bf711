# The release (scripts/release.sh) is the i686 MinGW program: its checks belong to the i686 tree.
# They run on the build machine (labels host and slow) and build only the program, twice.
if(CMAKE_CROSSCOMPILING AND MINGW AND CMAKE_SYSTEM_PROCESSOR STREQUAL i686)
    set(release_work ${CMAKE_BINARY_DIR}/release-check)
    add_test(NAME release_is_reproducible
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/scripts/release-check.sh ${release_work})
    set_tests_properties(release_is_reproducible PROPERTIES LABELS "host;slow" TIMEOUT 900
                         FIXTURES_SETUP release)
    # The released executable (reprotest's first build) passes the executables' check...
    set(release_exe ${release_work}/out/control/source-root/dist/Halvoran.exe)
    halvoran_check_executables(release_imports_and_resources PROGRAMS ${release_exe})
    # ... and is the program the tests check, only stripped.
    add_test(NAME release_is_the_tested_program
             COMMAND ${CMAKE_COMMAND} -DOBJCOPY=${CMAKE_OBJCOPY}
                     -DTESTED=$<TARGET_FILE:Halvoran> -DRELEASED=${release_exe}
                     -DWORK=${release_work}/sections
                     -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check-same-code.cmake)
    set_tests_properties(release_imports_and_resources release_is_the_tested_program
                         PROPERTIES LABELS "host;slow" FIXTURES_REQUIRED release)
endif()
