# The page as a download: `cmake --build --preset web-zip` (or the target
# site-zip of a web build) packs the site's files with their licences,
# timbrex's own licence and a short README into timbrex-web-<version>.zip, one
# folder that opens from disk. Included after the site's rules: it packs
# exactly their ${site_outputs}.
configure_file(${CMAKE_CURRENT_LIST_DIR}/download-README.txt.in ${CMAKE_BINARY_DIR}/download-README.txt @ONLY)
set(site_zip ${CMAKE_BINARY_DIR}/timbrex-web-${PROJECT_VERSION}.zip)
add_custom_command(OUTPUT ${site_zip}
  COMMAND ${TIMBREX_NODE} ${PROJECT_SOURCE_DIR}/tools/web/pack-site-zip timbrex-web-${PROJECT_VERSION}
          ${TIMBREX_RELEASE_DATE} ${site_zip} ${CMAKE_BINARY_DIR}/download-README.txt ${PROJECT_SOURCE_DIR}/LICENSE
          ${site} ${site_outputs}
  DEPENDS ${site_outputs} ${CMAKE_BINARY_DIR}/download-README.txt ${PROJECT_SOURCE_DIR}/LICENSE
          ${PROJECT_SOURCE_DIR}/tools/web/pack-site-zip
  VERBATIM)
add_custom_target(site-zip DEPENDS ${site_zip})
add_dependencies(site-zip site)
