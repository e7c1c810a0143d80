# ole_write_typelib(NAME <tool> OUTPUT <file.tlb> SOURCES <sources...> [LINK <libraries...>])
#
# Builds <tool> from <sources>, which define `const ole::TypeLibDef& OleTypeLibDefinition()`
# (the records a server compiles in), and runs it to write the stored form of that type
# library to <file.tlb>, ready for win32_add_resources(... TYPELIB 1 <file.tlb>). Call both in
# the same directory, so that the resource table depends on the file.
function(ole_write_typelib)
  cmake_parse_arguments(T "" "NAME;OUTPUT" "SOURCES;LINK" ${ARGN})
  add_executable(${T_NAME} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../tools/typelib_writer.cpp
                           ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ole project_options ${T_LINK})
  cmake_path(ABSOLUTE_PATH T_OUTPUT BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(OUTPUT ${T_OUTPUT}
    COMMAND ${T_NAME} ${T_OUTPUT}
    DEPENDS ${T_NAME}
    COMMENT "Writing the type library ${T_OUTPUT}"
    VERBATIM)
endfunction()
