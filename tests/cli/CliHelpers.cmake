cmake_policy(VERSION 3.25)

# Runs vistrel-cli (CLI) and checks its exit status; OUT and ERR hold what it printed.
function(run expected_status)
    execute_process(COMMAND ${CLI} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                    ERROR_VARIABLE err)
    if(NOT status EQUAL expected_status)
        message(FATAL_ERROR "vistrel-cli ${ARGN}: status ${status}, expected ${expected_status}\n${out}${err}")
    endif()
    set(OUT "${out}" PARENT_SCOPE)
    set(ERR "${err}" PARENT_SCOPE)
endfunction()

function(expect text)
    string(FIND "${OUT}" "${text}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "expected \"${text}\" in:\n${OUT}")
    endif()
endfunction()
