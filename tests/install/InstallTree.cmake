# Installs the build in BUILD_DIR with the prefix /usr into the staging folder
# STAGE (as DESTDIR, the way packagers do) and checks what landed there.
#
#   cmake -DBUILD_DIR=<build> -DSTAGE=<folder> -P InstallTree.cmake

set(id io.github.mp3tagloom.Mp3Tagloom)
set(root ${STAGE}/usr)

function(fail message)
    set_property(GLOBAL APPEND PROPERTY failures "${message}")
endfunction()

file(REMOVE_RECURSE ${STAGE})
set(ENV{DESTDIR} ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

# The program, runnable, and not tied to the build tree by a run path.
set(program ${root}/bin/mp3tagloom)
execute_process(COMMAND test -f ${program} -a -x ${program} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    fail("no executable bin/mp3tagloom")
else()
    find_program(READELF readelf)
    if(READELF)
        execute_process(COMMAND ${READELF} -d ${program} OUTPUT_VARIABLE dynamic)
        string(FIND "${dynamic}" "${BUILD_DIR}" at)
        if(NOT at EQUAL -1)
            fail("bin/mp3tagloom has a run path into the build tree")
        endif()
    endif()
endif()

function(expect_text path needle)
    if(NOT EXISTS ${root}/${path})
        fail("missing ${path}")
        return()
    endif()
    file(READ ${root}/${path} text)
    string(FIND "${text}" "${needle}" at)
    if(at EQUAL -1)
        fail("${path} does not hold \"${needle}\"")
    endif()
endfunction()

expect_text(share/applications/${id}.desktop "Exec=mp3tagloom")
# The command line, runnable without a display: it loads neither Qt Gui nor
# Qt Widgets.
set(cli ${root}/bin/mp3tagloom-cli)
if(NOT EXISTS ${cli})
    fail("no bin/mp3tagloom-cli")
else()
    include(${CMAKE_CURRENT_LIST_DIR}/../layers/LoadedLibraries.cmake)
    mp3t_loaded_libraries(${cli} libraries)
    foreach(library ${libraries})
        if(library MATCHES "libQt6(Gui|Widgets|OpenGL)")
            fail("bin/mp3tagloom-cli loads ${library}")
        endif()
    endforeach()
endif()

expect_text(share/man/man1/mp3tagloom-cli.1 ".TH MP3TAGLOOM\\-CLI 1 ")
expect_text(share/metainfo/${id}.metainfo.xml "<id>${id}</id>")
expect_text(share/icons/hicolor/scalable/apps/${id}.svg "<svg")

# Each PNG in its theme folder, of the size that folder promises: the width
# and height are the big-endian words at bytes 16 and 20 of the PNG header.
foreach(size 16 24 32 48 64 128 256)
    set(png share/icons/hicolor/${size}x${size}/apps/${id}.png)
    if(NOT EXISTS ${root}/${png})
        fail("missing ${png}")
        continue()
    endif()
    file(READ ${root}/${png} width OFFSET 16 LIMIT 4 HEX)
    file(READ ${root}/${png} height OFFSET 20 LIMIT 4 HEX)
    math(EXPR width "0x0${width}")
    math(EXPR height "0x0${height}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
        fail("${png} is ${width} x ${height}")
    endif()
endforeach()

get_property(failures GLOBAL PROPERTY failures)
if(failures)
    list(JOIN failures "\n  " failures)
    message(FATAL_ERROR "The installed tree in ${STAGE} is wrong:\n  ${failures}")
endif()
message(STATUS "The installed tree in ${STAGE} is complete")
