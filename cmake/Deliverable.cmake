# Gives a deliverable its exact file name (spaces included) and puts it in bin/.
function(tandrel_deliverable target file_name)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME "${file_name}"
    PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${TANDREL_BIN_DIR}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
endfunction()
