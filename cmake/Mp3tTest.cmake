# mp3t_add_test(<name> SOURCES ... LINKS ... [GUI]): one Qt Test program,
# registered with CTest. Every test runs with its own temporary home and
# configuration folders (set up by the test's own code, see tests/support),
# a fixed locale, and the offscreen platform for widgets.
function(mp3t_add_test name)
    cmake_parse_arguments(ARG "GUI" "TIMEOUT" "SOURCES;LINKS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} mp3t_test_support
        Qt6::Test mp3t_warnings mp3t_sanitizers)
    # A test sees the headers of its own folder and of what it links.
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    mp3t_include_root(${name} PRIVATE ${folder})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;TZ=UTC;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()
