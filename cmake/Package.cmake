# What `cmake --install` lays out under the prefix, and the .deb that `make package` builds
# from it. The program finds share/mirelo beside bin/, so the layout is the build tree's.

file(READ ${CMAKE_SOURCE_DIR}/data/Info.json MIRELO_INFO)
string(JSON MIRELO_VERSION GET "${MIRELO_INFO}" CFBundleShortVersionString)

set(MIRELO_SHARE ${CMAKE_BINARY_DIR}/share/mirelo)
configure_file(data/desktop/com.mirelo.app.metainfo.xml
  ${CMAKE_BINARY_DIR}/share/metainfo/com.mirelo.app.metainfo.xml @ONLY)

install(TARGETS mirelo RUNTIME DESTINATION bin)
install(FILES ${MIRELO_SHARE}/Info.json DESTINATION share/mirelo)
install(DIRECTORY ${MIRELO_SHARE}/icons DESTINATION share/mirelo)
# The application icon also where desktops and software centres look for it.
install(DIRECTORY ${MIRELO_SHARE}/icons/hicolor DESTINATION share/icons)
install(FILES data/desktop/com.mirelo.app.desktop DESTINATION share/applications)
install(FILES ${CMAKE_BINARY_DIR}/share/metainfo/com.mirelo.app.metainfo.xml
  DESTINATION share/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirelo)
set(CPACK_PACKAGE_VERSION ${MIRELO_VERSION})
set(CPACK_PACKAGE_VENDOR Mirelo)
set(CPACK_PACKAGE_CONTACT "Mirelo <support@mirelo.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Writing assistant: rewrites drafts and writes replies")
set(CPACK_PACKAGE_DESCRIPTION
  "Mirelo stays in the tray. Tapping the trigger key in a text field of any application\nrewrites the draft there, or writes the reply in an empty reply under a message.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://mirelo.app)
# Depends: from the shared libraries the program links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Reading other programs' text fields needs the accessibility bus; the session is kept in the
# keyring.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "at-spi2-core, gnome-keyring")
include(CPack)

# The package, unpacked into a throw-away root and run from there. Not in the sanitizer build:
# a package is built from the normal one.
if(NOT MIRELO_SANITIZE)
  add_test(NAME package COMMAND ${CMAKE_SOURCE_DIR}/tests/package/check-deb ${CMAKE_BINARY_DIR})
  set_tests_properties(package PROPERTIES SKIP_RETURN_CODE 77 LABELS package)
endif()
