# Every target of ours gets the same warnings; VREL_WERROR turns them into errors (CI).
add_library(vrel_warnings INTERFACE)
target_compile_options(vrel_warnings INTERFACE -Wall -Wextra -Wpedantic
  $<$<BOOL:${VREL_WERROR}>:-Werror>)
