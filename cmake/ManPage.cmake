# Writes the manual page of orvane-zentrel from the program's own help texts, so the page never
# drifts from --help: help2man turns "orvane-zentrel --help" into the page, and every command that
# the usage lists gets a section with its own "COMMAND --help" text.
#
# cmake -DOZ_EXE=... -DOZ_HELP2MAN=... -DOZ_GZIP=... -DOZ_INCLUDE=data/orvane-zentrel.h2m
#       -DOZ_OUTPUT=.../orvane-zentrel.1.gz -P cmake/ManPage.cmake

foreach(var OZ_EXE OZ_HELP2MAN OZ_GZIP OZ_INCLUDE OZ_OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "ManPage.cmake needs -D${var}=...")
    endif()
endforeach()

# The program's texts are UTF-8; no display, so nothing but the command line answers.
set(ENV{LC_ALL} C.UTF-8)
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
unset(ENV{QT_QPA_PLATFORM})

function(oz_help out)
    execute_process(COMMAND "${OZ_EXE}" ${ARGN} --help OUTPUT_VARIABLE text ERROR_VARIABLE problem
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0 OR text STREQUAL "")
        message(FATAL_ERROR "orvane-zentrel ${ARGN} --help failed (${result}): ${problem}")
    endif()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The commands are the words at the start of the usage's "Commands:" lines (continuation lines are
# indented further).
oz_help(usage)
string(FIND "${usage}" "\nCommands:\n" start)
if(start EQUAL -1)
    message(FATAL_ERROR "orvane-zentrel --help lists no commands")
endif()
string(SUBSTRING "${usage}" ${start} -1 table)
string(FIND "${table}" "\n\n" end)
string(SUBSTRING "${table}" 0 ${end} table)
string(REGEX MATCHALL "\n  [a-z][a-z-]*" lines "${table}")
set(commands)
foreach(line IN LISTS lines)
    string(STRIP "${line}" command)
    list(APPEND commands ${command})
endforeach()
list(REMOVE_DUPLICATES commands)
if(NOT commands)
    message(FATAL_ERROR "orvane-zentrel --help lists no commands")
endif()

# Each command's help, kept as printed (no filling); roff's escape and control characters are
# quoted.
set(page "[COMMANDS]\nEvery command prints its own help with \\fB\\-\\-help\\fR:\n")
foreach(command IN LISTS commands)
    oz_help(text ${command})
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    string(REGEX REPLACE "\n+$" "" text "${text}")
    string(APPEND page ".SS \"${command}\"\n.nf\n${text}\n.fi\n")
endforeach()

get_filename_component(work "${OZ_OUTPUT}" DIRECTORY)
get_filename_component(page_name "${OZ_OUTPUT}" NAME_WLE)
file(WRITE "${work}/commands.h2m" "${page}")
execute_process(COMMAND "${OZ_HELP2MAN}" --no-info --section=1 --locale=C.UTF-8 "--include=${OZ_INCLUDE}"
                        "--include=${work}/commands.h2m" "--output=${work}/${page_name}" "${OZ_EXE}"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "help2man failed (${result})")
endif()
# gzip -n: no name and no time stamp in the header, so the same page gives the same bytes.
execute_process(COMMAND "${OZ_GZIP}" -9 -n -f "${work}/${page_name}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip failed (${result})")
endif()
