#!/usr/bin/env bash
# Installs the Debian packages the project needs that are not installed yet.
# Idempotent: when nothing is missing it only checks and returns.
# --tools adds what tools/ needs to regenerate committed fixtures.
set -euo pipefail

build_packages=(
  build-essential cmake ninja-build pkg-config libgtk-3-dev
  libwebkit2gtk-4.1-dev libcairo2-dev libpango1.0-dev libfontconfig-dev
  libgdk-pixbuf-2.0-dev libglib2.0-dev libcurl4-openssl-dev libpcre2-dev
  libgif-dev libjpeg62-turbo-dev libcpp-httplib-dev libxtst-dev libgtest-dev libgmock-dev
  libbenchmark-dev ca-certificates fonts-wqy-zenhei
)
# The web engine plays media through GStreamer: WebM and MP4 demuxing, the
# H.264/AAC decoders, and the adaptive-streaming elements Media Source
# Extensions use.
media_packages=(gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-plugins-bad)
test_packages=(xvfb xauth xdotool xclip imagemagick python3 curl time clang libclang-rt-14-dev)
# The Debian package's checks.
package_packages=(lintian desktop-file-utils appstream dpkg-dev)
tool_packages=()
if [[ ${1:-} == --tools ]]; then
  tool_packages=(gstreamer1.0-tools gstreamer1.0-plugins-ugly)
fi

missing=()
for package in "${build_packages[@]}" "${media_packages[@]}" "${test_packages[@]}" \
               "${package_packages[@]}" "${tool_packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
sudo_cmd=()
if ((EUID != 0)); then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
