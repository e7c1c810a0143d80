# One place for the language level, warnings and Qt strictness; every target links it.
add_library(project_options INTERFACE)
target_compile_features(project_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(project_options INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wshadow=local)
target_compile_definitions(project_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_URL_CAST_FROM_STRING)
target_link_options(project_options INTERFACE -Wl,--no-undefined)

if(SANITIZE)
  target_compile_options(project_options INTERFACE -fsanitize=${SANITIZE} -fno-omit-frame-pointer
                                                   -fno-sanitize-recover=all)
  target_link_options(project_options INTERFACE -fsanitize=${SANITIZE})
endif()
