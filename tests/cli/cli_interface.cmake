# What vistrel-cli tells about itself (--help, --version, usage on wrong arguments) and its JSON
# output, read back by CMake's own JSON reader.
file(REMOVE_RECURSE ${WORK})
include(${CMAKE_CURRENT_LIST_DIR}/CliHelpers.cmake)

run(0 --help)
if(NOT OUT MATCHES "^usage: vistrel-cli snapshot ROOT" OR NOT OUT MATCHES "\nCommands:\n")
    message(FATAL_ERROR "unexpected help:\n${OUT}")
endif()
run(0 --version)
if(NOT OUT MATCHES "^vistrel-cli [0-9]+\\.[0-9]+\\.[0-9]+\n$")
    message(FATAL_ERROR "unexpected version: ${OUT}")
endif()
foreach(command snapshot list export compare import report)
    run(0 ${command} --help)
    if(NOT OUT MATCHES "^usage: vistrel-cli ${command} " OR NOT OUT MATCHES "\n  --help ")
        message(FATAL_ERROR "unexpected help of ${command}:\n${OUT}")
    endif()
endforeach()
# --help anywhere among a command's arguments, before checking that they make sense.
run(0 compare only-one.dir --json --help)

# Wrong arguments: one line that says what is wrong, then the usage; status 2.
function(usage_error expected)
    run(2 ${ARGN})
    if(NOT ERR MATCHES "^vistrel-cli: ${expected}\nusage: vistrel-cli ")
        message(FATAL_ERROR "vistrel-cli ${ARGN}: expected \"${expected}\" and the usage:\n${ERR}")
    endif()
endfunction()
usage_error("missing command")
usage_error("unknown command frob" frob)
usage_error("unknown option --frob" --frob)
usage_error("unknown option --frob" list x.dir --frob)
usage_error("unknown option -x" snapshot -x)
usage_error("option -o needs a value" snapshot tree -o)
usage_error("option --exclude needs a value" compare a.dir b.dir --exclude)
usage_error("missing -o" export x.dir)
usage_error("list takes one file" list)
usage_error("compare takes two files" compare a.dir)
usage_error("--json goes with neither --tsv nor --summary" compare a.dir b.dir --json --tsv)
usage_error("--json goes with neither --tsv nor --summary" compare a.dir b.dir --summary --json)
# A tolerance is a number of minutes and nothing else; threads are bounded.
foreach(value "-1" "abc" "nan" "5min")
    usage_error("--tolerance takes a number of minutes, not \"${value}\""
                compare a.dir b.dir --tolerance "${value}")
endforeach()
# (An empty argument does not survive a CMake list.)
execute_process(COMMAND ${CLI} compare a.dir b.dir --tolerance "" RESULT_VARIABLE status
                ERROR_VARIABLE err)
if(NOT status EQUAL 2 OR NOT err MATCHES "^vistrel-cli: --tolerance takes a number of minutes, not \"\"\nusage: ")
    message(FATAL_ERROR "an empty tolerance: status ${status}\n${err}")
endif()
usage_error("--threads takes a number from 1 to 256" snapshot tree -o x.dir --threads 257)
# An option of another command is unknown here.
usage_error("unknown option --json" report x.dir --json)
# The usage shown is the command's own.
run(2 import)
if(NOT ERR MATCHES "\nusage: vistrel-cli import LISTING -o FILE.dir\n$")
    message(FATAL_ERROR "expected the usage of import alone:\n${ERR}")
endif()

# Names as a real disk holds them: quotes, backslashes, line breaks, tabs, emoji, İ.
set(tree ${WORK}/tree)
file(MAKE_DIRECTORY "${tree}/sub dir")
file(WRITE ${WORK}/five.txt "12345")
set(names "quote\"d" "back\\slash" "line\nbreak" "tab\there" "emoji 😀" "İstanbul.txt"
    "pipe|name" "plain.txt")
# cp takes a name as it stands; CMake's own file commands would read "\" as a separator.
foreach(name IN LISTS names)
    execute_process(COMMAND cp ${WORK}/five.txt "${tree}/sub dir/${name}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND touch -h -d "2024-01-15 10:20:30" ${names} WORKING_DIRECTORY "${tree}/sub dir"
                COMMAND_ERROR_IS_FATAL ANY)
run(0 snapshot ${tree} -o ${WORK}/before.dir)

# Each line of OUT parsed as a JSON object; `lines` keeps them.
function(json_lines)
    string(REPLACE ";" "," text "${OUT}")
    string(REGEX REPLACE "\n$" "" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    foreach(line IN LISTS lines)
        string(JSON type ERROR_VARIABLE error TYPE "${line}")
        if(NOT type STREQUAL "OBJECT")
            message(FATAL_ERROR "not a JSON object: ${line} ${error}")
        endif()
    endforeach()
    set(lines "${lines}" PARENT_SCOPE)
endfunction()

run(0 list ${WORK}/before.dir --json)
json_lines()
set(seen "")
foreach(line IN LISTS lines)
    string(JSON list GET "${line}" list)
    string(JSON name GET "${line}" name)
    string(JSON folder GET "${line}" folder)
    string(JSON attributes GET "${line}" attributes)
    if(NOT list STREQUAL "${WORK}/before.dir")
        message(FATAL_ERROR "unexpected list: ${line}")
    endif()
    if(name STREQUAL "sub dir")
        string(JSON size TYPE "${line}" size)
        if(NOT folder STREQUAL "" OR NOT attributes STREQUAL "Dir" OR NOT size STREQUAL "NULL")
            message(FATAL_ERROR "unexpected folder entry: ${line}")
        endif()
        continue()
    endif()
    string(JSON size GET "${line}" size)
    string(JSON modified GET "${line}" modified)
    if(NOT folder STREQUAL "sub dir\\" OR NOT size EQUAL 5 OR NOT attributes STREQUAL "Arc"
       OR NOT modified STREQUAL "2024-01-15T10:20:30")
        message(FATAL_ERROR "unexpected entry: ${line}")
    endif()
    list(APPEND seen "${name}")
endforeach()
# Names as lists show them: "|" and two hex digits where a character cannot stand as itself.
list(SORT seen)
set(expected "back|5Cslash" "emoji 😀" "line|0Abreak" "pipe|7Cname" "plain.txt" "quote\"d"
    "tab|09here" "İstanbul.txt")
if(NOT seen STREQUAL expected)
    message(FATAL_ERROR "unexpected names:\n${seen}\nexpected:\n${expected}")
endif()

# A comparison: a grown file is Changed with the Original's values beside it.
file(WRITE "${tree}/sub dir/plain.txt" "1234567")
execute_process(COMMAND touch -d "2024-01-15 10:20:30" plain.txt WORKING_DIRECTORY "${tree}/sub dir"
                COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE "${tree}/sub dir/tab\there")
run(0 snapshot ${tree} -o ${WORK}/after.dir)
run(1 compare ${WORK}/before.dir ${WORK}/after.dir --json)
json_lines()
set(counts "")
foreach(line IN LISTS lines)
    string(JSON list GET "${line}" list)
    string(JSON name GET "${line}" name)
    list(APPEND counts "${list}")
    if(list STREQUAL "Changed")
        string(JSON size GET "${line}" size)
        string(JSON was GET "${line}" original size)
        string(JSON differs GET "${line}" differs 0)
        if(NOT name STREQUAL "plain.txt" OR NOT size EQUAL 7 OR NOT was EQUAL 5
           OR NOT differs STREQUAL "size")
            message(FATAL_ERROR "unexpected Changed entry: ${line}")
        endif()
    elseif(list STREQUAL "Only in Original" AND NOT name STREQUAL "tab|09here")
        message(FATAL_ERROR "unexpected Only in Original entry: ${line}")
    else()
        string(JSON has ERROR_VARIABLE missing GET "${line}" original)
        if(NOT missing)
            message(FATAL_ERROR "only Changed entries carry the Original's values: ${line}")
        endif()
    endif()
endforeach()
list(JOIN counts "," counts)
if(NOT counts MATCHES "^Only in Original,Changed(,Unchanged)+$")
    message(FATAL_ERROR "unexpected lists: ${counts}")
endif()
list(LENGTH lines n)
if(NOT n EQUAL 9)
    message(FATAL_ERROR "expected 9 result entries, got ${n}")
endif()

# Output that cannot be written is an error, whatever its form.
foreach(form "list;${WORK}/before.dir" "list;${WORK}/before.dir;--json"
        "compare;${WORK}/before.dir;${WORK}/after.dir;--tsv"
        "compare;${WORK}/before.dir;${WORK}/after.dir;--json"
        "compare;${WORK}/before.dir;${WORK}/after.dir;--summary"
        "report;${WORK}/before.dir" "--help" "--version" "list;--help")
    execute_process(COMMAND ${CLI} ${form} OUTPUT_FILE /dev/full ERROR_VARIABLE err
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 2 OR NOT err MATCHES "^vistrel-cli: cannot write the [a-z]+\n$")
        message(FATAL_ERROR "vistrel-cli ${form} to a full disk: status ${status}, ${err}")
    endif()
endforeach()

# A folder that cannot be read is said once on standard error, and the snapshot is still made.
# Root reads any folder, so as root the scan runs as nobody, in a folder nobody may use.
execute_process(COMMAND mktemp -d OUTPUT_VARIABLE shut OUTPUT_STRIP_TRAILING_WHITESPACE)
file(MAKE_DIRECTORY ${shut}/tree/closed/inner ${shut}/tree/open)
execute_process(COMMAND chmod 0777 ${shut})
execute_process(COMMAND chmod 0 ${shut}/tree/closed)
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
set(as_other)
if(uid EQUAL 0)
    set(as_other setpriv --reuid=65534 --regid=65534 --clear-groups)
endif()
execute_process(COMMAND ${as_other} ${CLI} snapshot ${shut}/tree -o ${shut}/tree.dir
                RESULT_VARIABLE status ERROR_VARIABLE err)
execute_process(COMMAND chmod 0755 ${shut}/tree/closed)
file(REMOVE_RECURSE ${shut})
if(NOT status EQUAL 0 OR NOT err STREQUAL
                         "vistrel-cli: 1 folder could not be read:\n  ${shut}/tree/closed/\n")
    message(FATAL_ERROR "a folder that cannot be read: status ${status}, ${err}")
endif()

# After "--" every argument is a file, even one named like an option.
file(COPY_FILE ${WORK}/before.dir ${WORK}/--help)
execute_process(COMMAND ${CLI} list -- --help WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status
                OUTPUT_VARIABLE OUT)
if(NOT status EQUAL 0 OR NOT OUT MATCHES "^Name\tIn Folder\t.*\nplain.txt\tsub dir")
    message(FATAL_ERROR "list -- --help: status ${status}\n${OUT}")
endif()

# A snapshot taken without subfolders is compared with its folder read the same way.
file(MAKE_DIRECTORY ${WORK}/flat/sub)
file(WRITE ${WORK}/flat/top.txt "t")
file(WRITE ${WORK}/flat/sub/inner.txt "i")
run(0 snapshot ${WORK}/flat -o ${WORK}/flat.dir --no-subdirs)
run(0 compare ${WORK}/flat.dir --with-folder)

# The packages that own a chroot's entries come from the chroot's own database, and only when
# asked for: a column after the others, a JSON member, a summary per set of owners.
set(chroot ${WORK}/chroot)
file(MAKE_DIRECTORY ${chroot}/var/lib/dpkg/info ${chroot}/usr/bin)
file(WRITE ${chroot}/var/lib/dpkg/info/tools:amd64.list "/.\n/usr\n/usr/bin\n/usr/bin/tool\n")
file(WRITE ${chroot}/var/lib/dpkg/info/base.list "/usr\n/usr/bin\n/usr/bin/gone\n")
file(WRITE ${chroot}/usr/bin/tool "t")
file(WRITE ${chroot}/usr/bin/gone "g")
run(0 snapshot ${chroot} -o ${WORK}/chroot-before.dir)
run(0 snapshot ${chroot} -o ${WORK}/chroot-owned.dir --packages)
run(0 list ${WORK}/chroot-before.dir --packages --json)
if(NOT OUT MATCHES "\"name\":\"gone\",[^\n]*\"package\":\"base\",\"permissions\""
   OR NOT OUT MATCHES "\"package\":\"\\(none\\)\"")
    message(FATAL_ERROR "unexpected packages:\n${OUT}")
endif()
run(0 list ${WORK}/chroot-before.dir --packages)
foreach(line "\tPackage\n" "\ntool\t[^\n]*\ttools:amd64\n" "\nbin\t[^\n]*\tbase, tools:amd64\n"
        "\ndpkg\t[^\n]*\t\\(none\\)\n")
    if(NOT OUT MATCHES "${line}")
        message(FATAL_ERROR "expected ${line} in:\n${OUT}")
    endif()
endforeach()
file(REMOVE ${chroot}/usr/bin/gone)
file(WRITE ${chroot}/usr/bin/stray "s")
run(0 snapshot ${chroot} -o ${WORK}/chroot-after.dir)
run(1 compare ${WORK}/chroot-before.dir ${WORK}/chroot-after.dir --summary --packages)
if(NOT OUT MATCHES "^Package\tOnly in Original\t.*\nbase\t1\t0\t0\t1\t0\t-1\t0\n"
   OR NOT OUT MATCHES "\n\\(none\\)\t0\t1\t0\t0\t1\t1\t0\n")
    message(FATAL_ERROR "unexpected summary by package:\n${OUT}")
endif()
# Once base is removed, a snapshot that recorded its owners still knows what it took away.
file(REMOVE ${chroot}/var/lib/dpkg/info/base.list)
run(1 compare ${WORK}/chroot-owned.dir ${WORK}/chroot-after.dir --summary --packages)
if(NOT OUT MATCHES "\nbase\t1\t0\t0\t")
    message(FATAL_ERROR "expected the removed package:\n${OUT}")
endif()
# A snapshot of files that are no longer there (the same names made anew, so new inodes) gets
# no owners: it may as well be another machine's.
file(RENAME ${chroot} ${WORK}/chroot-old)
file(MAKE_DIRECTORY ${chroot}/var/lib/dpkg/info ${chroot}/usr/bin)
file(COPY ${WORK}/chroot-old/var/lib/dpkg/info/ DESTINATION ${chroot}/var/lib/dpkg/info)
file(COPY ${WORK}/chroot-old/usr/bin/ DESTINATION ${chroot}/usr/bin)
run(2 list ${WORK}/chroot-before.dir --packages)
if(NOT ERR MATCHES "chroot-before.dir: was not taken of this system's files")
    message(FATAL_ERROR "expected a refusal:\n${ERR}")
endif()
usage_error("--packages needs --summary" compare a.dir b.dir --packages)
usage_error("--depth goes with the summary by folder, not --packages"
            compare a.dir b.dir --summary --packages --depth 1)
