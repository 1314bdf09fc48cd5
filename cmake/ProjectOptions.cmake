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

# mp3t_library(<name> SOURCES ... LINKS ...): one library per folder.
function(mp3t_library name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE mp3t_warnings)
    target_link_libraries(${name} PUBLIC mp3t_sanitizers)
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE mp3t_qt_strict)
    endif()
endfunction()
