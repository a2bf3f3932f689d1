# Warnings are errors in every target of ours.
add_library(tessaly_warnings INTERFACE)
target_compile_options(tessaly_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wimplicit-fallthrough -Wformat=2)
# GCC 12 reports impossible overlaps inside std::string and uninitialised members
# of std::variant alternatives at -O2 and above (known false positives of
# -Wrestrict and -Wmaybe-uninitialized in its optimiser), so those two stay off there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(tessaly_warnings INTERFACE -Wno-restrict -Wno-maybe-uninitialized)
endif()
