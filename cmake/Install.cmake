# What `make install` puts under the prefix and `make deb` packs (`make uninstall`: Uninstall.cmake).
include(GNUInstallDirs)

set(KV_DESKTOP ${KV_ROOT}/desktop)

install(TARGETS kirvane kirvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# <prefix>/share/kirvane/ beside <prefix>/bin/ tells the program it is installed, so it keeps its
# settings in the user's config folder (platform/AppPaths). The help pages are the assembled ones.
install(DIRECTORY ${KV_HELP_DIR} DESTINATION ${CMAKE_INSTALL_DATADIR}/kirvane)

install(FILES ${KV_DESKTOP}/kirvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KV_DESKTOP}/kirvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${KV_DESKTOP}/icons/kirvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${KV_DESKTOP}/icons/kirvane-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME kirvane.png)
endforeach()
install(FILES ${KV_DESKTOP}/completion/kirvane-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME kirvane-cli)
foreach(page kirvane.1 kirvane-cli.1)
  configure_file(${KV_DESKTOP}/man/${page} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The Debian package: its dependencies are read from the built programs by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kirvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kirvane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image-folder browser and slideshow viewer")
set(CPACK_PACKAGE_DESCRIPTION [=[
Kirvane lists the images of a folder, or of a whole folder tree, in a sortable list with a
preview, and shows them as a manual or timed slideshow, in a window or full screen. It copies,
moves and deletes files safely and finds damaged JPEG files. Its user interface is in Japanese.
kirvane-cli offers the same listing, JPEG check, decoding and file operations to scripts.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Type names come from the shared MIME database; the Japanese interface needs a CJK font and
# Qt's own Japanese texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
