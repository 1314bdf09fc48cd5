# Fails when the command line links Qt Gui or Qt Widgets: in the targets CMake
# links it with (CLOSURE, one a line) or in the libraries the program loads
# (PROGRAM, through ldd).
#
#   cmake -DCLOSURE=<file> -DPROGRAM=<program> -P CliWithoutGui.cmake

cmake_minimum_required(VERSION 3.25)

set(forbidden "Qt6::Gui|Qt6::Widgets|Qt6::OpenGL|libQt6Gui|libQt6Widgets")
set(failures)

file(STRINGS ${CLOSURE} closure)
if(NOT "mp3tagloom-cli" IN_LIST closure OR NOT "Qt6::Core" IN_LIST closure)
    list(APPEND failures "${CLOSURE} is not the command line's link closure")
endif()
foreach(target ${closure})
    if(target MATCHES "${forbidden}")
        list(APPEND failures "the target links ${target}")
    endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/LoadedLibraries.cmake)
mp3t_loaded_libraries(${PROGRAM} libraries)
foreach(library ${libraries})
    if(library MATCHES "${forbidden}")
        list(APPEND failures "the program loads ${library}")
    endif()
endforeach()

if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "The command line needs a display's libraries:\n  ${text}")
endif()
message(STATUS "The command line links neither Qt Gui nor Qt Widgets")
