# Included by the top-level list when TALLYGLASS_FUZZ is on: every target is
# built for libFuzzer's coverage and with AddressSanitizer and
# UndefinedBehaviorSanitizer; the fuzz targets themselves link the fuzzer.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TALLYGLASS_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++-14")
endif()
# -O1 with line tables, as libFuzzer's own instructions build: much quicker
# to compile with the instrumentation than -O2 -g.
add_compile_options(-O1 -g1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
