#!/usr/bin/env bash
# Builds the .deb: a Release build without tests in build-deb/ (incremental),
# with Debian's hardening flags, then CPack; prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-deb

# Without these the .deb would lack its PNG icons or its library dependencies.
for tool in rsvg-convert dpkg-shlibdeps dpkg-buildflags; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh" >&2; exit 1; }
done

# Debian's build flags (hardening on; no debug information: the binaries are
# stripped anyway). CMake reads no CPPFLAGS, so they go with the C++ flags.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cxxflags="$(sed -e 's/\(^\| \)-g\( \|$\)/ /g' -e 's/-O2//' <<<"$cxxflags")"
ldflags="$(dpkg-buildflags --get LDFLAGS)"

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZRA_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
# Only what the package holds (not the benchmarks).
cmake --build "$dir" -j2 --target zra_package_payload
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >cpack.log 2>&1) || { cat "$dir/cpack.log" >&2; exit 1; }
deb=("$dir"/*.deb)
[ -f "${deb[0]}" ] || { echo "cpack made no .deb:" >&2; cat "$dir/cpack.log" >&2; exit 1; }
echo "${deb[0]}"
