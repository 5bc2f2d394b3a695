# Drives vistrel-cli as a script would: snapshot, list, export and compare of a real tree, and
# the exit status of each command on success and on failure.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/tree/sub/deeper)
file(WRITE ${WORK}/tree/a.txt "alpha")
file(WRITE ${WORK}/tree/sub/b.txt "bravo")
file(WRITE ${WORK}/tree/sub/deeper/c.txt "charlie")

include(${CMAKE_CURRENT_LIST_DIR}/CliHelpers.cmake)

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
# Where the changes are: a.txt removed, new.txt added, sub\b.txt grown by 8 bytes.
set(header "Folder\tOnly in Original\tOnly in Final\tChanged\tBytes Removed\tBytes Added\tNet Change\tContents Only\tMoved\n")
set(root "\\\t1\t1\t1\t5\t11\t6\t0\t0\n")
run(1 compare ${WORK}/original.dir ${WORK}/final.dir --summary)
expect("${header}${root}sub\\\t0\t0\t1\t0\t8\t8\t0\t0\nsub\\deeper\\\t0\t0\t0\t0\t0\t0\t0\t0\n")
run(1 compare ${WORK}/original.dir ${WORK}/final.dir --summary --depth 0)
if(NOT OUT STREQUAL "${header}${root}")
    message(FATAL_ERROR "unexpected summary at depth 0:\n${OUT}")
endif()
run(0 list ${WORK}/changed.dir)
expect("b.txt\tsub\\")
# The report to open in a browser, beside the counts: one page that fetches nothing.
run(1 compare ${WORK}/original.dir ${WORK}/final.dir --html ${WORK}/report.html)
expect("Only in Original: 1\nOnly in Final: 1\nChanged: 1\nUnchanged: 3\n")
file(READ ${WORK}/report.html html)
if(NOT html MATCHES "^<!DOCTYPE html>" OR NOT html MATCHES "content=\"default-src 'none'; ")
    message(FATAL_ERROR "unexpected report:\n${html}")
endif()
# A file moved to another folder: in both Only lists, and one row of the Moved list; without
# looking for moves the output is the four lists as before.
file(RENAME ${WORK}/tree/new.txt ${WORK}/tree/sub/deeper/new.txt)
run(0 snapshot ${WORK}/tree -o ${WORK}/moved.dir)
run(1 compare ${WORK}/final.dir ${WORK}/moved.dir)
expect("Only in Original: 1\nOnly in Final: 1\nChanged: 0\nUnchanged: 4\nMoved: 1\n")
run(1 compare ${WORK}/final.dir ${WORK}/moved.dir --tsv)
expect("\nMoved\tnew.txt\tsub\\deeper\\\t")
expect("\tnew.txt\tsame inode\n")
run(1 compare ${WORK}/final.dir ${WORK}/moved.dir --json)
expect("\"matched\":\"inode\",\"mode\"")
expect("\"moved\":\"sub\\\\deeper\\\\new.txt\"")
run(1 compare ${WORK}/final.dir ${WORK}/moved.dir --no-moves)
if(NOT OUT STREQUAL "Only in Original: 1\nOnly in Final: 1\nChanged: 0\nUnchanged: 4\n")
    message(FATAL_ERROR "unexpected counts without moves:\n${OUT}")
endif()
file(RENAME ${WORK}/tree/sub/deeper/new.txt ${WORK}/tree/new.txt)

# The Original against its folder as it is now: the same three changes, no Final file.
run(1 compare ${WORK}/original.dir --with-folder)
expect("Only in Original: 1\nOnly in Final: 1\nChanged: 1\nUnchanged: 3\n")
run(1 compare ${WORK}/original.dir --with-folder ${WORK}/tree --exclude new.txt)
expect("Only in Original: 1\nOnly in Final: 0\nChanged: 1\nUnchanged: 3\n")
run(2 compare ${WORK}/original.dir ${WORK}/final.dir --no-subdirs)
run(2 compare ${WORK}/original.dir --with-folder ${WORK}/tree extra)
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
run(2 compare ${WORK}/original.dir ${WORK}/final.dir --depth 1)
run(2 compare ${WORK}/original.dir ${WORK}/final.dir --summary --depth -1)
run(2 compare ${WORK}/original.dir ${WORK}/final.dir --summary --depth 1x)
run(2 snapshot ${WORK}/no-such-folder -o ${WORK}/x.dir)
run(2 export ${WORK}/original.dir -o /dev/full)
run(2 frobnicate)

# A clock moved by an hour: the output stays as it was, a note on standard error names the
# option, and the option takes the shift in.
file(MAKE_DIRECTORY ${WORK}/clock)
foreach(name a b c)
    file(WRITE ${WORK}/clock/${name}.txt "${name}")
endforeach()
function(set_clock time)
    execute_process(COMMAND touch -d "2024-01-15 ${time}" a.txt b.txt c.txt
                    WORKING_DIRECTORY ${WORK}/clock COMMAND_ERROR_IS_FATAL ANY)
endfunction()
set_clock(10:00:00)
run(0 snapshot ${WORK}/clock -o ${WORK}/clock-before.dir)
set_clock(11:00:00)
run(0 snapshot ${WORK}/clock -o ${WORK}/clock-after.dir)
run(1 compare ${WORK}/clock-before.dir ${WORK}/clock-after.dir)
expect("Only in Original: 0\nOnly in Final: 0\nChanged: 3\nUnchanged: 0\n")
if(NOT ERR MATCHES "^All 3 entries [^\n]* changed by 1 hour, [^\n]*\nCompare again with --ignore-hour-shifts to ignore the shift\\.\n$")
    message(FATAL_ERROR "unexpected note: ${ERR}")
endif()
run(0 compare ${WORK}/clock-before.dir ${WORK}/clock-after.dir --ignore-hour-shifts)
expect("Only in Original: 0\nOnly in Final: 0\nChanged: 0\nUnchanged: 3\n")
if(NOT ERR STREQUAL "")
    message(FATAL_ERROR "unexpected note: ${ERR}")
endif()

# Exclusions: what the patterns leave out is not in the snapshot, nor in a comparison's lists.
file(MAKE_DIRECTORY ${WORK}/ex/Cache/deep ${WORK}/ex/src/cache)
foreach(name keep.txt Cache/deep/x.bin src/a.tmp src/main.c src/cache/y.bin)
    file(WRITE ${WORK}/ex/${name} "${name}")
endforeach()
file(WRITE ${WORK}/ex-patterns.txt "# caches at the root only\r\n\r\n/cache/\r\n")
run(0 snapshot ${WORK}/ex -o ${WORK}/ex.dir --exclude *.TMP --exclude-from ${WORK}/ex-patterns.txt)
run(0 list ${WORK}/ex.dir)
# Name and In Folder of each entry, "/" for "\" (which a CMake list would take as an escape).
string(REPLACE "\\" "/" listed "${OUT}")
string(REGEX MATCHALL "\n[^\t\n]*\t[^\t\n]*" listed "${listed}")
string(REPLACE "\n" "" listed "${listed}")
string(REPLACE "\t" "@" listed "${listed}")
list(SORT listed)
if(NOT listed STREQUAL "cache@src/;keep.txt@;main.c@src/;src@;y.bin@src/cache/")
    message(FATAL_ERROR "unexpected entries after exclusions: ${listed}")
endif()
run(1 compare ${WORK}/original.dir ${WORK}/final.dir --exclude new.txt --exclude sub/)
expect("Only in Original: 1\nOnly in Final: 0\nChanged: 0\nUnchanged: 0\n")
run(0 compare ${WORK}/original.dir ${WORK}/final.dir --exclude new.txt --exclude sub/
    --exclude A.TXT)
expect("Only in Original: 0\nOnly in Final: 0\nChanged: 0\nUnchanged: 0\n")
run(2 compare ${WORK}/original.dir ${WORK}/final.dir --exclude-from ${WORK}/no-patterns.txt)
if(NOT ERR MATCHES "^vistrel-cli: [^\n]*no-patterns\\.txt: File not found\n$")
    message(FATAL_ERROR "unexpected error text: ${ERR}")
endif()
run(2 snapshot ${WORK}/ex -o ${WORK}/ex.dir --exclude-from ${WORK}/no-patterns.txt)
run(2 snapshot ${WORK}/ex -o ${WORK}/ex.dir --exclude)

# An output that is one of the inputs, by any path, is refused before anything is written: the
# input stays as it was. (Each case is a list with "|" for ";".)
file(COPY_FILE ${WORK}/original.dir ${WORK}/in.dir)
file(CREATE_LINK in.dir ${WORK}/in-link.dir SYMBOLIC)
file(WRITE ${WORK}/listing.txt " Directory of C:\\DATA\r\n\r\nA        TXT             1  01/02/99  10:30 a.txt\r\n")
foreach(case "in.dir|export|${WORK}/in.dir|-o|${WORK}/in.dir"
             "in.dir|export|${WORK}/in-link.dir|-o|${WORK}/in.dir"
             "in.dir|export|${WORK}/in.dir|-o|${WORK}/in-link.dir"
             "listing.txt|import|${WORK}/listing.txt|-o|${WORK}/listing.txt"
             "changed.dir|compare|${WORK}/changed.dir|${WORK}/final.dir|--out|${WORK}"
             "final.dir|compare|${WORK}/original.dir|${WORK}/final.dir|--html|${WORK}/final.dir"
             "unchanged.dir|compare|${WORK}/original.dir|${WORK}/final.dir|--out|${WORK}|--exclude-from|${WORK}/unchanged.dir"
             "ex-patterns.txt|snapshot|${WORK}/ex|-o|${WORK}/ex-patterns.txt|--exclude-from|${WORK}/ex-patterns.txt")
    string(REPLACE "|" ";" args "${case}")
    list(POP_FRONT args input)
    file(SHA256 ${WORK}/${input} before)
    run(2 ${args})
    file(SHA256 ${WORK}/${input} after)
    if(NOT ERR MATCHES "^vistrel-cli: [^\n]*: the output would replace the input [^\n]*\n$" OR
       NOT before STREQUAL after)
        message(FATAL_ERROR "vistrel-cli ${args}: the input was not kept:\n${ERR}")
    endif()
endforeach()
