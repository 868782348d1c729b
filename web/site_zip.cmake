# The page as a download: `cmake --build --preset web-zip` (or the target
# site-zip of a web build) packs the built site with its licences, timbrex's
# own licence and a short README into timbrex-web-<version>.zip, one folder
# that opens from disk.
configure_file(${CMAKE_CURRENT_LIST_DIR}/download-README.txt.in ${CMAKE_BINARY_DIR}/download-README.txt @ONLY)
add_custom_target(site-zip
  COMMAND ${TIMBREX_NODE} ${PROJECT_SOURCE_DIR}/tools/web/pack-site-zip ${CMAKE_BINARY_DIR}/site
          ${CMAKE_BINARY_DIR}/download-README.txt ${PROJECT_SOURCE_DIR}/LICENSE timbrex-web-${PROJECT_VERSION}
          ${TIMBREX_RELEASE_DATE} ${CMAKE_BINARY_DIR}/timbrex-web-${PROJECT_VERSION}.zip
  BYPRODUCTS ${CMAKE_BINARY_DIR}/timbrex-web-${PROJECT_VERSION}.zip
  VERBATIM)
add_dependencies(site-zip site)
