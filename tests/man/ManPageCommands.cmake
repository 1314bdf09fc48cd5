# Checks that the man page describes what the program's help lists: an entry
# (.SS) under COMMANDS for each command of `PROGRAM --help`, an item (.TP)
# under OPTIONS for each option of that help, and one in the command's entry
# for each further option of `PROGRAM COMMAND --help`. A command or an option
# added without its description fails here.
#
#   cmake -DPROGRAM=<mp3tagloom-cli> -DPAGE=<mp3tagloom-cli.1> -P ManPageCommands.cmake

cmake_minimum_required(VERSION 3.25)

function(fail message)
    set_property(GLOBAL APPEND PROPERTY failures "${message}")
endfunction()

# The help of the program (no ARGS) or of a command, or the run fails.
function(help_of out)
    execute_process(COMMAND ${PROGRAM} ${ARGN} --help
        RESULT_VARIABLE result OUTPUT_VARIABLE text ERROR_VARIABLE error)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${PROGRAM} ${ARGN} --help failed (${result}):\n${error}")
    endif()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The block of the help that follows the heading ending in `marker`, up to
# the first empty line.
function(help_block text marker out)
    string(FIND "${text}" "${marker}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "The help has no \"${marker}\":\n${text}")
    endif()
    string(LENGTH "${marker}" length)
    math(EXPR at "${at} + ${length}")
    string(SUBSTRING "${text}" ${at} -1 text)
    string(FIND "${text}" "\n\n" end)
    string(SUBSTRING "${text}" 0 ${end} text)
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The long options of an options block, one per line ("  -r, --recursive ...").
function(long_options block out)
    string(REGEX MATCHALL "\n *(-[A-Za-z], )?--[a-z][a-z0-9-]*" lines "${block}")
    set(names)
    foreach(line IN LISTS lines)
        string(REGEX REPLACE ".*--" "" name "${line}")
        list(APPEND names ${name})
    endforeach()
    set(${out} ${names} PARENT_SCOPE)
endfunction()

# Page text as it reads: "\-" a hyphen, no font changes.
function(plain text out)
    string(REPLACE "\\-" "-" text "${text}")
    string(REGEX REPLACE "\\\\f[BIRP]" "" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The section .SH NAME of the page, up to the next .SH.
function(page_section page name out)
    string(FIND "${page}" "\n.SH ${name}\n" at)
    if(at EQUAL -1)
        fail("the page has no section ${name}")
        set(${out} "" PARENT_SCOPE)
        return()
    endif()
    math(EXPR at "${at} + 1")
    string(SUBSTRING "${page}" ${at} -1 text)
    string(FIND "${text}" "\n.SH " end)
    string(SUBSTRING "${text}" 0 ${end} text)
    plain("${text}" text)
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# An option is described by an item of its own (.TP), not only named in a
# usage line.
function(expect_option text option where)
    string(REGEX MATCH "\n\\.TP\n[^\n]*--${option}([^a-z0-9-]|$)" found "${text}")
    if(NOT found)
        fail("--${option} has no item ${where}")
    endif()
endfunction()

file(READ ${PAGE} page)

# The commands' entries: `entry_<command>` holds each one's text, from its
# .SS heading (whose first word is the command) to the next.
page_section("${page}" COMMANDS rest)
set(documented)
while(TRUE)
    string(FIND "${rest}" "\n.SS " at)
    if(at EQUAL -1)
        break()
    endif()
    math(EXPR at "${at} + 5")
    string(SUBSTRING "${rest}" ${at} -1 rest)
    string(FIND "${rest}" "\n.SS " end)
    string(SUBSTRING "${rest}" 0 ${end} entry)
    string(REGEX MATCH "^\"?[a-z][a-z0-9-]*" name "${entry}")
    string(REPLACE "\"" "" name "${name}")
    set(entry_${name} "${entry}")
    list(APPEND documented ${name})
endwhile()

help_of(help)
help_block("${help}" "(commands):" block)
string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" commands "\n${block}")
list(TRANSFORM commands STRIP)
if(NOT commands)
    message(FATAL_ERROR "No commands found in the help:\n${help}")
endif()

help_block("${help}" "(options):" block)
long_options("${block}" global)
page_section("${page}" OPTIONS options_text)
foreach(option IN LISTS global)
    expect_option("${options_text}" ${option} "under OPTIONS")
endforeach()

foreach(command IN LISTS commands)
    if(NOT command IN_LIST documented)
        fail("the command ${command} has no entry under COMMANDS")
        continue()
    endif()
    help_of(command_help ${command})
    help_block("${command_help}\n" "(options):" block)
    long_options("${block}" own)
    list(REMOVE_ITEM own ${global})
    foreach(option IN LISTS own)
        expect_option("${entry_${command}}" ${option} "in the entry of ${command}")
    endforeach()
endforeach()

get_property(failures GLOBAL PROPERTY failures)
if(failures)
    list(JOIN failures "\n  " failures)
    message(FATAL_ERROR "${PAGE} does not match `${PROGRAM} --help`:\n  ${failures}")
endif()
list(JOIN commands ", " commands)
message(STATUS "The man page describes ${commands} and their options")
