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
