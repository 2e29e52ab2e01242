# NORVANE_SANITIZE builds everything with a sanitizer, for the test programs to run under:
#   address  AddressSanitizer and UndefinedBehaviorSanitizer (a fault ends the program)
#   thread   ThreadSanitizer
# The tests set the sanitizers' options themselves (tests/CMakeLists.txt).
set(NORVANE_SANITIZE "" CACHE STRING "Build with sanitizers: address (ASan and UBSan), thread (TSan), or empty")
set_property(CACHE NORVANE_SANITIZE PROPERTY STRINGS "" address thread)

if(NORVANE_SANITIZE STREQUAL "address")
  set(sanitizer_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(NORVANE_SANITIZE STREQUAL "thread")
  set(sanitizer_flags -fsanitize=thread)
elseif(NORVANE_SANITIZE)
  message(FATAL_ERROR "NORVANE_SANITIZE is '${NORVANE_SANITIZE}': use address, thread or nothing")
endif()
if(sanitizer_flags)
  add_compile_options(${sanitizer_flags} -fno-omit-frame-pointer -g -O1)
  add_link_options(${sanitizer_flags})
endif()
