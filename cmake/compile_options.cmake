# The project's own targets build with a strict warning set, and a warning fails
# the build; under PROCGROUPS_COVERAGE with gcov's counters; under PROCGROUPS_SANITIZE also with AddressSanitizer and
# UndefinedBehaviorSanitizer, stopping at the first error. Per target, so that
# third-party code built alongside keeps its own flags.
option(PROCGROUPS_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(PROCGROUPS_FUZZ "Build the libFuzzer targets (clang only)" OFF)
option(PROCGROUPS_COVERAGE "Build with gcov coverage and check it after the tests" OFF)
option(PROCGROUPS_REAL_KERNEL "Test the tool on Debian's kernels booted under QEMU, and nothing else" OFF)
function(procgroups_compile_options target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Werror
        -Wconversion -Wsign-conversion -Wshadow -Wnon-virtual-dtor -Wold-style-cast
        -Wcast-align -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough
    )
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
