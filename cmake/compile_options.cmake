# The project's own targets build with a strict warning set; with
# PROCGROUPS_WARNINGS_AS_ERRORS (as a cache or environment variable: CI and the
# project's developers set it) a warning fails the build, so that a user's newer
# compiler with a new warning does not. Under PROCGROUPS_COVERAGE with gcov's
# counters; under PROCGROUPS_SANITIZE also with AddressSanitizer and
# UndefinedBehaviorSanitizer, stopping at the first error. Per target, so that
# third-party code built alongside keeps its own flags.
option(PROCGROUPS_WARNINGS_AS_ERRORS "Fail the build on a compiler warning" "$ENV{PROCGROUPS_WARNINGS_AS_ERRORS}")
option(PROCGROUPS_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(PROCGROUPS_FUZZ "Build the libFuzzer targets (clang only)" OFF)
option(PROCGROUPS_COVERAGE "Build with gcov coverage and check it after the tests" OFF)
option(PROCGROUPS_REAL_KERNEL "Test the tool on Debian's kernels booted under QEMU, and nothing else" OFF)
function(procgroups_compile_options target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic
        -Wconversion -Wsign-conversion -Wshadow -Wnon-virtual-dtor -Wold-style-cast
        -Wcast-align -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough
    )
    if(PROCGROUPS_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(PROCGROUPS_FUZZ)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
    if(PROCGROUPS_COVERAGE)
        target_compile_options(${target} PRIVATE --coverage)
        target_link_options(${target} PRIVATE --coverage)
    endif()
    if(PROCGROUPS_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()
