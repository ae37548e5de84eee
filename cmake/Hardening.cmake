# Builds that look for faults rather than ship: a sanitizer build of the whole
# program and its tests, and a libFuzzer build of the readers of untrusted
# input. Each goes into a build folder of its own:
#   cmake -B build-asan -DCOVERLUME_SANITIZE=ON        (GCC)
#   cmake -B build-fuzz -DCOVERLUME_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14
# The ordinary build still compiles fuzz/ as plain programs that replay the
# seed corpora and the regression inputs (no libFuzzer needed).
option(COVERLUME_SANITIZE "Build everything with AddressSanitizer and UBSan" OFF)
option(COVERLUME_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(COVERLUME_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -O1 -g1)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(COVERLUME_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "COVERLUME_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++-14)")
  endif()
  # Coverage for the fuzzer in every object; the fuzzer's own main is linked
  # into the fuzz targets only.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer -O1 -g1)
  add_link_options(-fsanitize=address,undefined)
  set(BUILD_TESTING OFF CACHE BOOL "" FORCE)
endif()

# Run after the rest of the top folder is read, when the benchmarks exist.
function(coverlume_hardening_finish)
  if(COVERLUME_SANITIZE OR COVERLUME_FUZZ)
    # The benchmarks measure the ordinary build only.
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR}/bench PROPERTY EXCLUDE_FROM_ALL TRUE)
  endif()
endfunction()
cmake_language(DEFER CALL coverlume_hardening_finish)

# Called at the end of each folder that registers tests: in the sanitizer
# build every test checks leaks, stops at the first fault, suppresses the
# third-party leaks fuzz/lsan.supp names, and widens its time bounds
# (tests/support/TimeFactor.h).
function(coverlume_sanitizer_environment)
  if(NOT COVERLUME_SANITIZE)
    return()
  endif()
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(t ${tests})
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT
        "ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=0:fast_unwind_on_malloc=0"
        "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/fuzz/lsan.supp:print_suppressions=0"
        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        "COVERLUME_TIME_FACTOR=4")
    set_property(TEST ${t} PROPERTY TIMEOUT 1200)
  endforeach()
endfunction()
