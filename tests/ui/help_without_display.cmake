# `kelvora --help` and `kelvora --version` with no display at all: printed, status 0, no window
# (without a display, the window could not open and the program would fail instead).
foreach(flag --help --version)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                            ${KELVORA} ${flag}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
    if(NOT status EQUAL 0 OR NOT err STREQUAL "")
        message(FATAL_ERROR "kelvora ${flag}: status ${status}, stderr '${err}'")
    endif()
    if(flag STREQUAL "--help" AND NOT out MATCHES "^Usage: kelvora \\[FILE\\] .*  --version +the program's version\n$")
        message(FATAL_ERROR "kelvora --help printed '${out}'")
    endif()
    if(flag STREQUAL "--version" AND NOT out STREQUAL "kelvora ${VERSION}\n")
        message(FATAL_ERROR "kelvora --version printed '${out}', not 'kelvora ${VERSION}'")
    endif()
endforeach()
