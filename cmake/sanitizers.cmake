# VREL_SANITIZE=address builds everything with AddressSanitizer and UBSan,
# VREL_SANITIZE=thread with ThreadSanitizer.
if(VREL_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(VREL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT VREL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VREL_SANITIZE must be empty, 'address' or 'thread'")
endif()
# Placed after the build type's flags, so they win: a sanitizer build at -O1 with line tables
# only compiles in less than half the time, and its reports still name file and line.
if(NOT VREL_SANITIZE STREQUAL "")
  add_compile_options(-O1 -g1)
endif()
