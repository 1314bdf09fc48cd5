# Settings shared by every target of the project, applied per target.

add_library(mp3t_warnings INTERFACE)
target_compile_options(mp3t_warnings INTERFACE -Wall -Wextra -Wpedantic)
if(MP3T_WERROR)
    target_compile_options(mp3t_warnings INTERFACE -Werror)
endif()

add_library(mp3t_sanitizers INTERFACE)
if(MP3T_SANITIZE)
    target_compile_options(mp3t_sanitizers INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(mp3t_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

# Qt code of ours: every conversion between bytes and text must be spelled out.
add_library(mp3t_qt_strict INTERFACE)
target_compile_definitions(mp3t_qt_strict INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_KEYWORDS)

# mp3t_include_root(<target> <PUBLIC|PRIVATE|INTERFACE> <folder>...): lets the
# target include "<folder>/X.h" and nothing else of the tree. Each folder (a
# path below the project's source, such as "tags" or "tests/support") gets a
# root in the build tree that holds one link to it, so a target sees its own
# folder and the folders of what it links, never the whole tree.
function(mp3t_include_root target scope)
    foreach(folder ${ARGN})
        string(REPLACE "/" "-" key ${folder})
        set(root ${PROJECT_BINARY_DIR}/include/${key})
        set(link ${root}/${folder})
        set(target_folder ${PROJECT_SOURCE_DIR}/${folder})
        if(IS_SYMLINK ${link})
            file(READ_SYMLINK ${link} current)
        else()
            set(current "")
        endif()
        # Made anew when the sources moved since.
        if(NOT current STREQUAL target_folder)
            get_filename_component(parent ${link} DIRECTORY)
            file(MAKE_DIRECTORY ${parent})
            file(REMOVE ${link})
            file(CREATE_LINK ${target_folder} ${link} SYMBOLIC)
        endif()
        target_include_directories(${target} ${scope} ${root})
    endforeach()
endfunction()

# mp3t_library(<name> SOURCES ... LINKS ... [FOLDER <folder>]): one library per
# folder, which shows the targets above it that folder's headers only. FOLDER
# defaults to the folder of the calling CMakeLists.txt.
function(mp3t_library name)
    cmake_parse_arguments(ARG "QT" "FOLDER" "SOURCES;LINKS" ${ARGN})
    if(NOT ARG_FOLDER)
        file(RELATIVE_PATH ARG_FOLDER ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    mp3t_include_root(${name} PUBLIC ${ARG_FOLDER})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE mp3t_warnings)
    target_link_libraries(${name} PUBLIC mp3t_sanitizers)
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE mp3t_qt_strict)
    endif()
endfunction()
