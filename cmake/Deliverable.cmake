# Gives a deliverable its exact file name (spaces included) and puts it in bin/. The linker
# stamps its header with the build's source date (cmake/SourceDate.cmake), so a new date relinks.
function(tandrel_deliverable target file_name)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME "${file_name}"
    PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${TANDREL_BIN_DIR}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib
    CXX_LINKER_LAUNCHER "${TANDREL_WITH_SOURCE_DATE}"
    LINK_DEPENDS ${TANDREL_SOURCE_DATE_FILE})
  add_dependencies(${target} source_date)
endfunction()
