# Packages made by `cpack` from the install rules: a .deb and a tarball on
# Linux, a zip from the Windows cross build.
set(TIMBREX_PACKAGE_MAINTAINER "the timbrex authors <timbrex@users.noreply.invalid>"
    CACHE STRING "Maintainer named in the Debian package")
set(TIMBREX_HOMEPAGE "https://timbrex.invalid/" CACHE STRING "Homepage named in the packages")

# The Debian package holds the programs and README with the files Debian asks
# for in their place: the manual page and the changelog compressed, and the
# licence in the machine-readable copyright file instead of LICENSE. They are
# the component "debian", which a plain `cmake --install` leaves out.
if(NOT WIN32)
  set(debian_dir ${PROJECT_BINARY_DIR}/debian)
  file(MAKE_DIRECTORY ${debian_dir})

  # The licence text is LICENSE's after its title and copyright line, each
  # line indented by one blank and an empty one written " .".
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license_text)
  if(NOT license_text MATCHES "^MIT License\n\nCopyright \\(c\\) ([^\n]+)\n\n(.*[^\n])\n*$")
    message(FATAL_ERROR "LICENSE: expected the MIT licence with one copyright line")
  endif()
  set(TIMBREX_COPYRIGHT_HOLDERS ${CMAKE_MATCH_1})
  string(REPLACE "\n\n" "\n.\n" license_body "${CMAKE_MATCH_2}")
  string(REPLACE "\n" "\n " TIMBREX_LICENSE_BODY " ${license_body}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/copyright.in ${debian_dir}/copyright @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)

  include(DebianChangelog)
  timbrex_debian_changelog(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${debian_dir}/changelog ${PROJECT_NAME}
                           "${TIMBREX_PACKAGE_MAINTAINER}")

  # gzip -9n leaves out the name and time stamp: the bytes depend on the text alone.
  find_program(TIMBREX_GZIP gzip)
  if(NOT TIMBREX_GZIP)
    message(FATAL_ERROR "gzip is needed for the Debian package's manual page and changelog")
  endif()
  foreach(page changelog timbrex.1 timbrex-bank.1)
    if(page STREQUAL "changelog")
      set(source ${debian_dir}/changelog)
    else()
      set(source ${PROJECT_BINARY_DIR}/${page})
    endif()
    execute_process(COMMAND ${TIMBREX_GZIP} -9n -c ${source} OUTPUT_FILE ${debian_dir}/${page}.gz
                    RESULT_VARIABLE gzip_status)
    if(NOT gzip_status EQUAL 0)
      message(FATAL_ERROR "gzip could not compress ${source}")
    endif()
  endforeach()

  install(FILES ${debian_dir}/timbrex.1.gz ${debian_dir}/timbrex-bank.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${debian_dir}/copyright ${debian_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR}
          COMPONENT debian EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "the timbrex authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_HOMEPAGE_URL ${TIMBREX_HOMEPAGE})
set(CPACK_PACKAGE_CONTACT ${TIMBREX_PACKAGE_MAINTAINER})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR "DEB;TGZ")
endif()
# Read by cpack once per generator: the components that package takes.
configure_file(${PROJECT_SOURCE_DIR}/cmake/cpack_components.cmake.in
               ${PROJECT_BINARY_DIR}/cpack_components.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack_components.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TIMBREX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TIMBREX_HOMEPAGE})
# Depends is worked out by dpkg-shlibdeps from the libraries the binary links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack puts the summary first; this is the extended description after it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "timbrex replays the voice-register writes of the Yamaha YM2612 and YM2151
recorded in VGM logs (plain or gzip-compressed), captures every channel's
four-operator voice at key-on, merges voices that differ only in their
carriers' output levels, and saves each instrument as a 42-byte .vpf voice
patch file. It runs over one song or a whole directory tree in one go, and
its output is byte-stable. A second program, timbrex-bank, gathers the
patches into one WOPN bank, OPM text banks or a folder of DMP presets, as
trackers and bank editors load them.")

include(CPack)
