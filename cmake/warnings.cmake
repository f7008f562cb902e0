# Every target of the project builds with a strict warning set, and a warning fails the build.
add_compile_options(
    -Wall -Wextra -Wpedantic -Werror
    -Wconversion -Wsign-conversion -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Wcast-align -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough
)
