# Every dependency is a Debian package (scripts/install-deps.sh) found through
# pkg-config, except giflib which ships no .pc file.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(GIF REQUIRED)

function(seed_pkg alias)
  pkg_check_modules(${alias}_PKG REQUIRED IMPORTED_TARGET ${ARGN})
  add_library(Seed::${alias} INTERFACE IMPORTED GLOBAL)
  target_link_libraries(Seed::${alias} INTERFACE PkgConfig::${alias}_PKG)
endfunction()

seed_pkg(Gtk gtk+-3.0 gdk-x11-3.0)
seed_pkg(XTest xtst x11)
seed_pkg(Cairo cairo)
seed_pkg(Pango pango pangocairo pangoft2 fontconfig)
seed_pkg(PixBuf gdk-pixbuf-2.0)
# JPEGs are decoded with libjpeg itself, past gdk-pixbuf's loader.
seed_pkg(Jpeg libjpeg)
seed_pkg(Glib glib-2.0 gobject-2.0 gio-2.0)
seed_pkg(Curl libcurl)
seed_pkg(Pcre2 libpcre2-8)
seed_pkg(HttpLib cpp-httplib)
target_link_libraries(Seed::HttpLib INTERFACE Threads::Threads)
