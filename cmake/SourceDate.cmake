# The build's one time (cmake/source-date.sh): kept in TANDREL_SOURCE_DATE_FILE, checked at every
# build. TANDREL_WITH_SOURCE_DATE prefixes the commands that write it into files: the
# deliverables' links (tandrel_deliverable, which also relinks them when it changes) and the
# packages.
set(TANDREL_SOURCE_DATE_FILE ${CMAKE_BINARY_DIR}/generated/source_date_epoch)
set(TANDREL_WITH_SOURCE_DATE bash ${CMAKE_SOURCE_DIR}/cmake/source-date.sh run ${TANDREL_SOURCE_DATE_FILE})
add_custom_target(source_date ALL
  COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/source-date.sh write ${CMAKE_SOURCE_DIR} ${TANDREL_SOURCE_DATE_FILE}
  BYPRODUCTS ${TANDREL_SOURCE_DATE_FILE}
  VERBATIM)

# Nothing of the build's folders goes into a file, wherever the tree was cloned.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
  -ffile-prefix-map=${CMAKE_BINARY_DIR}/=build/)
