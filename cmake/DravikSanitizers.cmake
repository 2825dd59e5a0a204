# DRAVIK_SANITIZE=address builds everything with AddressSanitizer, UndefinedBehaviorSanitizer and leak
# detection, and with clang also the libFuzzer targets; DRAVIK_SANITIZE=thread builds with ThreadSanitizer.
# Each goes in a build folder of its own (see the Makefile's test, tsan and fuzz targets).
set(DRAVIK_SANITIZE "" CACHE STRING "Sanitizer build: empty, address or thread")

if(DRAVIK_SANITIZE STREQUAL "address")
  set(flags -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # Coverage for the fuzz targets, which link against the same libraries.
    list(APPEND flags -fsanitize=fuzzer-no-link)
    set(DRAVIK_FUZZ ON)
  endif()
elseif(DRAVIK_SANITIZE STREQUAL "thread")
  set(flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT DRAVIK_SANITIZE STREQUAL "")
  message(FATAL_ERROR "DRAVIK_SANITIZE is address, thread or empty, not '${DRAVIK_SANITIZE}'")
endif()

if(flags)
  # -O1 keeps the sanitized tests near the speed of the plain debug build.
  add_compile_options(${flags} -O1)
  add_link_options(${flags})
endif()
