# What `cmake --install` puts in place: the program, its manual page and its
# documents. Tests, benchmarks, fuzzers and the internal static libraries are
# build products only and are never installed. The components let each
# package take its own set (cmake/package.cmake).
include(GNUInstallDirs)

configure_file(${PROJECT_SOURCE_DIR}/doc/timbrex.1.in ${PROJECT_BINARY_DIR}/timbrex.1 @ONLY)

install(TARGETS timbrex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT program)
install(FILES ${PROJECT_BINARY_DIR}/timbrex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT manual)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT license)
