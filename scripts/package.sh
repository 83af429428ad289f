#!/usr/bin/env bash
# Builds the Debian package into the build folder and checks it: lintian on
# the package (errors fail, warnings are listed), desktop-file-validate on the
# desktop entry and appstreamcli on the metainfo file it installs.
# Usage: scripts/package.sh   (BUILD_DIR, default build)
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
# Only the files that name the install prefix are rebuilt for it.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build_dir" -j2
version=$(sed -n 's/^project(seed-searcher VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package="$build_dir/seed-searcher_${version}_$(dpkg --print-architecture).deb"
rm -f "$package"
(cd "$build_dir" && cpack -G DEB >/dev/null)
[[ -f $package ]] || { echo "package: cpack did not produce $package" >&2; exit 1; }

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$package" "$contents"
desktop-file-validate "$contents/usr/share/applications/seed-searcher.desktop"
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
# Root runs lintian only when told to; errors fail, everything else is shown.
lintian --allow-root --fail-on error --info "$package"
echo "package: $package"
dpkg-deb --field "$package" Depends
