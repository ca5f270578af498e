#!/usr/bin/env bash
# Builds the Debian package tornucfg_<version>_amd64.deb from a release
# configuration in build-release/ (with Debian's hardening flags), checks its
# AppStream metadata and runs lintian on it; prints the package's path last.
# Install it with: apt-get install ./build-release/tornucfg_*_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build-release
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTORNU_BUILD_TESTS=OFF -DTORNU_BUILD_BENCH=OFF -DTORNU_MANPAGES=ON \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
# Only what the package holds: no tests, benchmarks or screenshot renderer.
cmake --build "$dir" -j "$(nproc)" --target tornucfg tornucfg-cli tornucfg-sim manpages changelog

# The component keeps the desktop file's name as its id until the project
# has a domain of its own for a reverse-DNS one.
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
  packaging/tornucfg.metainfo.xml

rm -f "$dir"/tornucfg_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/tornucfg_*_amd64.deb)
lintian --fail-on error "$deb"
echo "$deb"
