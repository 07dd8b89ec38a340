# Warnings for our own code. They become errors only where the project asks for it (CI and
# scripts/test.sh): a user's build must never stop on a warning that a newer compiler, or another
# optimisation level, happens to find.
option(VANTOREL_WERROR "Treat compiler warnings as errors" "$ENV{VANTOREL_WERROR}")

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
                    -Wcast-align -Woverloaded-virtual -Wnull-dereference)
if(VANTOREL_WERROR)
    add_compile_options(-Werror)
endif()

if(VANTOREL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
