# What `cmake --install` puts in place: the programs, their manual pages and the
# documents. Tests, benchmarks, fuzzers and the internal static libraries are
# build products only and are never installed. The components let each
# package take its own set (cmake/package.cmake).
include(GNUInstallDirs)

configure_file(${PROJECT_SOURCE_DIR}/doc/timbrex.1.in ${PROJECT_BINARY_DIR}/timbrex.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/doc/timbrex-bank.1.in ${PROJECT_BINARY_DIR}/timbrex-bank.1 @ONLY)

install(TARGETS timbrex timbrex-bank RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT program)
install(FILES ${PROJECT_BINARY_DIR}/timbrex.1 ${PROJECT_BINARY_DIR}/timbrex-bank.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT manual)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT license)
