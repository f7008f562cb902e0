# The project's own targets build with a strict warning set, and a warning fails
# the build. Per target, so that third-party code built alongside keeps its own flags.
function(procgroups_strict_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Werror
        -Wconversion -Wsign-conversion -Wshadow -Wnon-virtual-dtor -Wold-style-cast
        -Wcast-align -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough
    )
endfunction()
