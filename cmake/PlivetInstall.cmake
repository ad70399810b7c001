# Where `cmake --install` puts what users run, and the Debian package made
# from it. The programs go to bin/, the simulated host to lib/, the module to
# a folder of its own under lib/, the documents, examples and manual pages
# under share/.
set(PLIVET_INSTALL_MODULEDIR ${CMAKE_INSTALL_LIBDIR}/plivet)

# The runner finds the installed module from its own folder, wherever the
# installation was put, and the programs find the host library the same way.
file(RELATIVE_PATH PLIVET_BIN_TO_MODULE /root/${CMAKE_INSTALL_BINDIR}
     /root/${PLIVET_INSTALL_MODULEDIR})
file(RELATIVE_PATH PLIVET_BIN_TO_LIB /root/${CMAKE_INSTALL_BINDIR}
     /root/${CMAKE_INSTALL_LIBDIR})
file(RELATIVE_PATH PLIVET_MODULE_TO_LIB /root/${PLIVET_INSTALL_MODULEDIR}
     /root/${CMAKE_INSTALL_LIBDIR})
target_compile_definitions(cadsim PRIVATE
  PLIVET_INSTALLED_MODULE_DIR="${PLIVET_BIN_TO_MODULE}")
if(NOT WIN32)
  set_target_properties(cadsim PROPERTIES INSTALL_RPATH "$ORIGIN/${PLIVET_BIN_TO_LIB}")
  set_target_properties(qormplivet PROPERTIES INSTALL_RPATH "$ORIGIN/${PLIVET_MODULE_TO_LIB}")
endif()

install(TARGETS cadsim plivet-parts RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A Windows DLL is found in the folder of the program that loads it.
install(TARGETS simhost
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS qormplivet
  LIBRARY DESTINATION ${PLIVET_INSTALL_MODULEDIR}
  RUNTIME DESTINATION ${PLIVET_INSTALL_MODULEDIR})

# The documents keep the repository's layout, so their links still lead
# somewhere.
install(FILES README.md CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES docs/architecture.md docs/performance.md docs/reliability.md
              docs/windows.md docs/parts-before.svg docs/parts-after.svg
              docs/demo-page.png docs/demo-before.svg docs/demo-after.svg
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(FILES tools/cadsim/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/tools/cadsim)
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

foreach(page cadsim plivet-parts)
  configure_file(docs/man/${page}.1.in ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The package is made from a build that already holds the programs
# (scripts/release.sh builds them), not from every target of the tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plivet)
set(CPACK_PACKAGE_VENDOR "PLIVET")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "CAD plug-in that keeps copied parts apart, with its runner and parts tool")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The PLIVET module, built for the simulated host, with the runner cadsim\n\
that replays session scripts with the module loaded, and plivet-parts, which\n\
lists the parts of a DXF drawing and where their records disagree.")
set(CPACK_PACKAGE_CONTACT "PLIVET maintainers <plivet@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs link, as the machine's packages provide them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
