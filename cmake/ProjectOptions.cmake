# One place for the language level, warnings and Qt strictness; every target links it.
add_library(project_options INTERFACE)
target_compile_features(project_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(project_options INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  # Clang has no local-only shadow warning; the GCC build enforces it.
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
  # Windows' VARIANT and DECIMAL are structs inside anonymous unions; GCC allows them.
  $<$<CXX_COMPILER_ID:Clang>:-Wno-nested-anon-types -Wno-gnu-anonymous-struct>)
target_compile_definitions(project_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_URL_CAST_FROM_STRING)
# Clang links the sanitizer runtime into executables only, so its sanitized shared libraries
# leave those symbols to the program; the other builds keep every library self-contained.
if(NOT (SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang"))
  target_link_options(project_options INTERFACE -Wl,--no-undefined)
endif()

if(SANITIZE)
  target_compile_options(project_options INTERFACE -fsanitize=${SANITIZE} -fno-omit-frame-pointer
                                                   -fno-sanitize-recover=all)
  target_link_options(project_options INTERFACE -fsanitize=${SANITIZE})
endif()

# The Clang sanitizer build is also the fuzzing build: everything carries libFuzzer's coverage
# hooks, so a fuzz target sees which branches of the libraries beneath it an input reached.
if(SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(FUZZING ON)
  target_compile_options(project_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
