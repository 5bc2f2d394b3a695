# Drives vistrel-cli as a script would: snapshot, list, export and compare of a real tree, and
# the exit status of each command on success and on failure.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/tree/sub/deeper)
file(WRITE ${WORK}/tree/a.txt "alpha")
file(WRITE ${WORK}/tree/sub/b.txt "bravo")
file(WRITE ${WORK}/tree/sub/deeper/c.txt "charlie")

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

run(0 snapshot ${WORK}/tree -o ${WORK}/original.dir)
run(0 list ${WORK}/original.dir)
expect("Name\tIn Folder\tMatchKey\tSize\tSizeKey\tOrig Size\tModified\tDateKey")
expect("c.txt\tsub\\deeper\\\tsub\\deeper\\c.txt\t7\t000000000007")
run(0 export ${WORK}/original.dir -o ${WORK}/original.csv)
file(READ ${WORK}/original.csv csv)
string(FIND "${csv}" "\"b.txt\",\"sub\\\",\"5\"," at)
if(at EQUAL -1)
    message(FATAL_ERROR "unexpected CSV:\n${csv}")
endif()

# Identical snapshots: nothing differs.
run(0 compare ${WORK}/original.dir ${WORK}/original.dir)
expect("Only in Original: 0\nOnly in Final: 0\nChanged: 0\nUnchanged: 5\n")

file(WRITE ${WORK}/tree/sub/b.txt "bravo, longer")
file(REMOVE ${WORK}/tree/a.txt)
file(WRITE ${WORK}/tree/new.txt "new")
run(0 snapshot ${WORK}/tree -o ${WORK}/final.dir)
run(1 compare ${WORK}/original.dir ${WORK}/final.dir --out ${WORK})
expect("Only in Original: 1\nOnly in Final: 1\nChanged: 1\nUnchanged: 3\n")
run(1 compare ${WORK}/original.dir ${WORK}/final.dir --tsv)
expect("Changed\tb.txt\tsub\\\tsub\\b.txt\t13\t000000000013\t5\t")
run(0 list ${WORK}/changed.dir)
expect("b.txt\tsub\\")
# Limited to a branch on both sides, and the size ignored.
# (A backslash before the list separator would join the arguments, so no helper here.)
execute_process(COMMAND ${CLI} compare ${WORK}/original.dir ${WORK}/final.dir
                --limit-original "sub\\" --limit-final "sub\\" --ignore-size --tolerance 100000
                RESULT_VARIABLE status OUTPUT_VARIABLE OUT)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "limited compare: status ${status}\n${OUT}")
endif()
expect("Only in Original: 0\nOnly in Final: 0\nChanged: 0\nUnchanged: 3\n")

# Failures: status 2 and one line on standard error.
run(2 list ${WORK}/missing.dir)
if(NOT ERR MATCHES "^vistrel-cli: .*File not found\n$")
    message(FATAL_ERROR "unexpected error text: ${ERR}")
endif()
run(2 compare ${WORK}/original.dir ${WORK}/final.dir --limit-final nowhere\\)
run(2 compare ${WORK}/original.dir ${WORK}/final.dir --ignore colour)
run(2 snapshot ${WORK}/no-such-folder -o ${WORK}/x.dir)
run(2 export ${WORK}/original.dir -o /dev/full)
run(2 frobnicate)
