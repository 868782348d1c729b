# Packages made by `cpack` from the install rules: a .deb and a tarball on
# Linux, a zip from the Windows cross build.
set(TIMBREX_PACKAGE_MAINTAINER "the timbrex authors <timbrex@users.noreply.invalid>"
    CACHE STRING "Maintainer named in the Debian package")
set(TIMBREX_HOMEPAGE "https://timbrex.invalid/" CACHE STRING "Homepage named in the packages")

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
its output is byte-stable.")

include(CPack)
