# What `cmake --install` puts in place: the program, its manual page and its
# documents. Tests, benchmarks, fuzzers and the internal static libraries are
# build products only and are never installed.
include(GNUInstallDirs)

configure_file(${PROJECT_SOURCE_DIR}/doc/timbrex.1.in ${PROJECT_BINARY_DIR}/timbrex.1 @ONLY)

install(TARGETS timbrex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/timbrex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
