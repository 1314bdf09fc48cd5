# mp3t_loaded_libraries(<program> <out>): the shared libraries the program
# loads, its own and theirs, by the names ldd prints. Fails when ldd cannot
# tell, so a check on them never passes unread.
function(mp3t_loaded_libraries program out)
    find_program(LDD ldd REQUIRED)
    execute_process(COMMAND ${LDD} ${program}
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "ldd ${program} failed (${result}):\n${output}")
    endif()
    # One library a line, by name first: "libQt6Core.so.6 => /lib/... (0x...)".
    string(REGEX MATCHALL "[^ \t\n]+\\.so[^ \t\n]*( => [^\n]*)?" lines "${output}")
    set(libraries)
    foreach(line ${lines})
        string(REGEX REPLACE " => .*" "" name "${line}")
        list(APPEND libraries ${name})
    endforeach()
    if(NOT libraries MATCHES "libQt6Core")
        message(FATAL_ERROR "ldd ${program} names no Qt library:\n${output}")
    endif()
    set(${out} ${libraries} PARENT_SCOPE)
endfunction()
