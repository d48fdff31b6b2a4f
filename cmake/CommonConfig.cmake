# Settings every target of the project shares: link quorvex_common.
add_library(quorvex_common INTERFACE)
target_compile_features(quorvex_common INTERFACE cxx_std_20)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

target_compile_definitions(quorvex_common INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_FOREACH
  QT_USE_QSTRINGBUILDER
  QT_STRICT_ITERATORS
)

if(MSVC)
  target_compile_options(quorvex_common INTERFACE /W4 /utf-8 /permissive-)
else()
  target_compile_options(quorvex_common INTERFACE -Wall -Wextra)
endif()

if(QUORVEX_SANITIZE AND NOT MSVC)
  target_compile_options(quorvex_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(quorvex_common INTERFACE -fsanitize=address,undefined)
endif()

# The fuzz build: every library is instrumented for coverage and the sanitizers; the
# fuzz targets themselves link libFuzzer (fuzz/CMakeLists.txt). Undefined behaviour
# stops the run like any other finding.
if(QUORVEX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUORVEX_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  set(quorvex_fuzz_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined)
  target_compile_options(quorvex_common INTERFACE
    -fsanitize=fuzzer-no-link ${quorvex_fuzz_sanitizers} -fno-omit-frame-pointer)
  target_link_options(quorvex_common INTERFACE ${quorvex_fuzz_sanitizers})
endif()
