# Included by the top-level list when TALLYGLASS_FUZZ is on: every target is
# built for libFuzzer's coverage and with AddressSanitizer and
# UndefinedBehaviorSanitizer; the fuzz targets themselves link the fuzzer.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TALLYGLASS_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++-14")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
