# The tests, benchmarks and checks are configured where their tools are found,
# and one status line names each that is not, so that building the tool needs
# nothing but a compiler and CMake. CI sets PROCGROUPS_REQUIRE_TEST_TOOLS (as a
# cache or environment variable), and there a missing tool fails instead.
option(PROCGROUPS_REQUIRE_TEST_TOOLS "Fail the configuration when a test tool is missing" OFF)

# procgroups_tool_missing(TOOL WHAT): WHAT is left out for want of TOOL.
function(procgroups_tool_missing tool what)
    if(PROCGROUPS_REQUIRE_TEST_TOOLS OR "$ENV{PROCGROUPS_REQUIRE_TEST_TOOLS}")
        message(FATAL_ERROR "${tool} not found, and ${what} must run here")
    endif()
    message(STATUS "${tool} not found: ${what} left out")
endfunction()

# procgroups_find_tools(VARIABLE WHAT PROGRAM...): VARIABLE is true when every
# PROGRAM is found, each in a cache variable of its upper-cased name.
function(procgroups_find_tools variable what)
    set(found TRUE)
    foreach(program ${ARGN})
        string(TOUPPER ${program} program_variable)
        string(MAKE_C_IDENTIFIER ${program_variable} program_variable)
        find_program(${program_variable} ${program})
        if(NOT ${program_variable})
            procgroups_tool_missing(${program} "${what}")
            set(found FALSE)
        endif()
    endforeach()
    set(${variable} ${found} PARENT_SCOPE)
endfunction()
