# Warnings are errors in every target of ours.
add_library(tessaly_warnings INTERFACE)
target_compile_options(tessaly_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wnull-dereference -Wimplicit-fallthrough -Wformat=2)
