# AppStream metadata for software centres, and the Debian package that
# `cpack -G DEB` builds from the build tree: everything `cmake --install`
# installs, plus the metainfo file, the screenshot it shows, and the
# copyright and changelog files Debian's policy asks for.
#
# The project has no public web site of its own yet: whoever publishes the
# package sets SEED_HOMEPAGE (where screenshots/main-window.png is served
# from), SEED_APPSTREAM_ID (reverse domain name of that site) and
# SEED_PACKAGE_MAINTAINER. The defaults use a reserved example domain.
set(SEED_HOMEPAGE "https://seed-searcher.example.org" CACHE STRING
  "The project's web site; the metainfo's screenshot is served from it")
set(SEED_APPSTREAM_ID "org.example.seed_searcher" CACHE STRING
  "AppStream component id (reverse domain name)")
set(SEED_PACKAGE_MAINTAINER "seed-searcher maintainers <maintainers@seed-searcher.example.org>"
  CACHE STRING "Maintainer field of the Debian package")

set(metainfo ${CMAKE_BINARY_DIR}/${SEED_APPSTREAM_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/res/seed-searcher.metainfo.xml.in ${metainfo} @ONLY)
install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES res/screenshots/main-window.png DESTINATION ${SEED_DATA_SUBDIR}/screenshots)

# Debian's documentation files: the copyright notice as it is, the
# changelog compressed without a time stamp so that builds are repeatable.
set(SEED_DOC_SUBDIR ${CMAKE_INSTALL_DATADIR}/doc/seed-searcher)
configure_file(${PROJECT_SOURCE_DIR}/cmake/deb/changelog.in ${CMAKE_BINARY_DIR}/deb/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/deb/changelog.gz
  COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/deb/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/deb/changelog
  COMMENT "Compressing the package's changelog")
add_custom_target(seed-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/deb/changelog.gz)
install(FILES cmake/deb/copyright ${CMAKE_BINARY_DIR}/deb/changelog.gz DESTINATION ${SEED_DOC_SUBDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME seed-searcher)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "search tool for torrent and ED2K links")
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
 "A desktop program that searches three engines for torrent and ED2K links,
one tab each: type a keyword, page through the rows an engine finds, copy
a row's magnet or ED2K address or play it online in a player window.
Built-in demo engines serve a small catalogue of freely licensed works, so
it works offline. The same searches run on the command line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SEED_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SEED_HOMEPAGE}")
# Libraries from dpkg-shlibdeps over every binary, the modules included (the
# web engine comes in through the browser module); on top of those what is
# loaded by name rather than linked: the CJK font the text is drawn in and
# the GStreamer plugins the web engine plays video with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "fonts-wqy-zenhei, gstreamer1.0-plugins-good, gstreamer1.0-libav, gstreamer1.0-plugins-bad")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# The program looks for its data and modules under the prefix it was
# configured with, so a package is only right for /usr.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/deb/CPackCheck.cmake)
include(CPack)
