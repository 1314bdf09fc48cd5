# Checks every #include of a folder of ours against the folders it may use:
# the layers, lowest first. Each row names a folder and the folders whose
# headers its files may include ("folder/Header.h"); any other include of a
# folder of ours, or of a path that climbs out ("../"), fails the check.
#
#   cmake -DSOURCE_DIR=<project> -P IncludeLayers.cmake

cmake_minimum_required(VERSION 3.25)

set(layers
    "tags:       tags"
    "platform:   platform tags"
    "resources:  resources"
    "widgets:    widgets platform tags"
    "operations: operations platform tags"
    "shell:      shell platform tags"
    "settings:   settings platform tags"
    "player:     player platform tags"
    "about:      about widgets resources platform tags"
    "app:        app about player settings shell operations widgets resources platform tags"
    "cli:        cli operations settings platform tags")
# Folders of the project that are no layer: they are checked by the build only.
set(outside tests bench data cmake scripts)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

set(folders)
foreach(row ${layers})
    string(REGEX MATCH "^([a-z]+): *(.*)$" _ "${row}")
    set(folder ${CMAKE_MATCH_1})
    string(REPLACE " " ";" allowed_${folder} "${CMAKE_MATCH_2}")
    list(FILTER allowed_${folder} EXCLUDE REGEX "^$")
    list(APPEND folders ${folder})
endforeach()

set(failures)

# Every folder with sources of ours has a row: a new one cannot slip past.
file(GLOB entries LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
foreach(entry ${entries})
    if(EXISTS ${SOURCE_DIR}/${entry}/CMakeLists.txt AND NOT entry IN_LIST folders
       AND NOT entry IN_LIST outside)
        list(APPEND failures "${entry}/ has no row in the table of layers")
    endif()
endforeach()

foreach(folder ${folders})
    if(NOT IS_DIRECTORY ${SOURCE_DIR}/${folder})
        list(APPEND failures "${folder}/ of the table of layers does not exist")
        continue()
    endif()
    file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
        ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(file ${files})
        file(STRINGS ${SOURCE_DIR}/${file} includes
            REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]*/")
        foreach(line ${includes})
            string(REGEX MATCH "[<\"]([^/>\"]*)/" _ "${line}")
            set(used ${CMAKE_MATCH_1})
            string(REGEX MATCH "^[ \t]*#[ \t]*include[ \t]*\"" quoted "${line}")
            # <Qt/...> and the system's own are no concern; a quoted path is ours.
            if(NOT quoted AND NOT used IN_LIST folders)
                continue()
            endif()
            if(NOT used IN_LIST allowed_${folder})
                string(STRIP "${line}" line)
                list(JOIN allowed_${folder} " " allowed)
                list(APPEND failures "${file}: ${line} (${folder}/ may include ${allowed})")
            endif()
        endforeach()
    endforeach()
endforeach()

if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "Includes across the layers:\n  ${text}")
endif()
message(STATUS "Every include keeps to the layers")
