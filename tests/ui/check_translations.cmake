# Runs lupdate over the window's sources into a scratch copy of the English translation and fails
# when a text has no translation yet (new or changed in the sources) or a translation has no text
# left (removed from the sources). The fix: build the update_translations target, translate what
# res/translations/kelvora_en.ts marks unfinished, drop what it marks vanished.
# Arguments: -DLUPDATE=... -DTS=... -DSOURCES=<dir> -DSCRATCH=<file>
file(COPY_FILE "${TS}" "${SCRATCH}")
execute_process(COMMAND "${LUPDATE}" -silent -locations none -source-language ja "${SOURCES}" -ts "${SCRATCH}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status}): ${out}")
endif()
file(READ "${SCRATCH}" ts)
string(REGEX MATCHALL "<source>[^<]*</source>[^<]*(<comment>[^<]*</comment>[^<]*)?<translation type=\"(unfinished|vanished|obsolete)\"" faults "${ts}")
if(faults)
    list(LENGTH faults count)
    string(REPLACE ";" "\n  " listing "${faults}")
    message(FATAL_ERROR "${TS}: ${count} message(s) untranslated or left over:\n  ${listing}")
endif()
message(STATUS "every text of ${SOURCES} has its translation in ${TS}")
