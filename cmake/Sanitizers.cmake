# Sanitizer builds and the libFuzzer build: options for every target of the project.
#   MAILWRIGHT_SANITIZE     as -fsanitize takes it: "address,undefined" or "thread"
#   MAILWRIGHT_BUILD_FUZZ   the fuzz targets as libFuzzer programs (clang; implies
#                           address,undefined unless MAILWRIGHT_SANITIZE says otherwise)
option(MAILWRIGHT_BUILD_FUZZ "Build the libFuzzer targets of fuzz/ (clang only)" OFF)
set(MAILWRIGHT_SANITIZE "" CACHE STRING "Sanitizers for every target: address,undefined or thread")

if(MAILWRIGHT_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "MAILWRIGHT_BUILD_FUZZ needs clang; scripts/fuzz configures it")
  endif()
  if(NOT MAILWRIGHT_SANITIZE)
    set(MAILWRIGHT_SANITIZE "address,undefined")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(MAILWRIGHT_SANITIZE)
  # Every report ends the program, so that a test or a fuzz run fails on it.
  add_compile_options(-fsanitize=${MAILWRIGHT_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${MAILWRIGHT_SANITIZE})
endif()
