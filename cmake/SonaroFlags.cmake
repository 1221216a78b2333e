# One interface target carries the project's compiler flags; every target links it.
add_library(sonaro_flags INTERFACE)
target_compile_options(sonaro_flags INTERFACE -Wall -Wextra -Wpedantic)
if(SONARO_WERROR)
  target_compile_options(sonaro_flags INTERFACE -Werror)
endif()
if(SONARO_SANITIZE)
  target_compile_options(sonaro_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                -fno-sanitize-recover=undefined)
  target_link_options(sonaro_flags INTERFACE -fsanitize=address,undefined)
endif()
# Qt's string literals and our catalogue are UTF-8 in the source.
target_compile_options(sonaro_flags INTERFACE -finput-charset=UTF-8 -fexec-charset=UTF-8)
target_compile_definitions(sonaro_flags INTERFACE QT_NO_KEYWORDS)
