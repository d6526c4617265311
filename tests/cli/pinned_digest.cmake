# The default run with seed 1 (population 20, 100 generations, crossover 0.5, mutation 0.1,
# target 68,180) must write these very bytes. A compiler, flag or math-library change that moves the
# solver moves the other tests' references with it; these digests stay put.
# Usage: cmake -DCLI=path/to/kelvora-cli -DDIR=scratch -P pinned_digest.cmake
cmake_minimum_required(VERSION 3.25)

set(want_results 099093c4e0dc44938c0f9a6d43ae3c4c04c17852f1881aebf1e3b3eb2010bb58)
set(want_fitness 69ef03b0dfbcb638123d1f16d647a8ce02f465807954b11b2f45d1b8c2a80657)

# Once with every value spelled out, once with the defaults: both are the same run.
foreach(args "--population;20;--generations;100;--crossover;0.5;--mutation;0.1;--target;68,180" "")
    file(REMOVE_RECURSE "${DIR}")
    file(MAKE_DIRECTORY "${DIR}")
    execute_process(COMMAND "${CLI}" ${args} --seed 1 --quiet --output-dir "${DIR}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "kelvora-cli ${args} --seed 1 failed: ${status}")
    endif()
    string(REPLACE ";" " " shown "${args} --seed 1")
    foreach(name results fitness)
        file(SHA256 "${DIR}/${name}.csv" got)
        if(NOT got STREQUAL want_${name})
            message(FATAL_ERROR "${name}.csv of the run '${shown}' has SHA-256 ${got}, not ${want_${name}}")
        endif()
    endforeach()
endforeach()
file(REMOVE_RECURSE "${DIR}")
message(STATUS "both files match their pinned digests")
