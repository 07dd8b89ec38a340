# Warnings for our own code. They become errors only where the project asks for it (CI and
# scripts/test.sh): a user's build must never stop on a warning that a newer compiler, or another
# optimisation level, happens to find.
option(VANTOREL_WERROR "Treat compiler warnings as errors" "$ENV{VANTOREL_WERROR}")

# The order is kept as it was for C++, so that cached objects of other builds still match; the
# C++-only warnings are left out for the one C file (libspa's builder macros are C).
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow
                    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor$<SEMICOLON>-Wold-style-cast>
                    -Wcast-align $<$<COMPILE_LANGUAGE:CXX>:-Woverloaded-virtual> -Wnull-dereference)
if(VANTOREL_WERROR)
    add_compile_options(-Werror)
endif()

if(VANTOREL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
