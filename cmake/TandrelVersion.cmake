# The product's one version, from project(): the version blocks of both files include the header
# written here, and the packages take their names and the installer its ProductVersion from it.
set(TANDREL_VERSION ${PROJECT_VERSION})
string(REPLACE "." "," TANDREL_VERSION_NUMBERS "${PROJECT_VERSION}")
string(REPLACE "." ", " TANDREL_VERSION_TEXT "${PROJECT_VERSION}")
set(TANDREL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tandrel_version.h.in ${TANDREL_GENERATED_DIR}/tandrel_version.h @ONLY)
# The resource compiler finds the header through the include path.
include_directories(${TANDREL_GENERATED_DIR})
