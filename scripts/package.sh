#!/usr/bin/env bash
# Builds the Debian package kestrix-diagnostics_VERSION_amd64.deb with CPack
# (a Release build of its own in build-package/) and checks it: the file list,
# the version of every program, the dependencies found by dpkg-shlibdeps,
# lintian (no errors), the AppStream metadata and the desktop entry. Any
# failed check stops the script with a message and a non-zero exit status.
#
#   bash scripts/package.sh          the package ends up in the source folder
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build-package

bash scripts/install-deps.sh lintian help2man dpkg-dev fakeroot appstream file desktop-file-utils gzip man-db

fail() {
  echo "package.sh: FAILED: $*" >&2
  exit 1
}

# Debian's hardening flags (stack protector, fortified functions, read-only
# relocations) for the packaged programs.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

echo "== configure and build (Release) in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKESTRIX_TESTS=OFF -DKESTRIX_BENCH=OFF -DKESTRIX_PACKAGE=ON \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j"$(nproc)"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
deb=kestrix-diagnostics_${version}_amd64.deb

echo "== cpack"
rm -f "$build"/kestrix-diagnostics_*.deb
(cd "$build" && cpack -G DEB)
[ -f "$build/$deb" ] || fail "cpack did not write $deb"

echo "== check $deb"
# The file list, exactly.
expected=$(cat <<LIST
./usr/bin/kestrix_diagnostics
./usr/bin/kestrix_navdata
./usr/bin/kestrix_sim
./usr/share/applications/kestrix_diagnostics.desktop
./usr/share/doc/kestrix-diagnostics/changelog.gz
./usr/share/doc/kestrix-diagnostics/copyright
./usr/share/icons/hicolor/scalable/apps/kestrix_diagnostics.svg
./usr/share/man/man1/kestrix_diagnostics.1.gz
./usr/share/man/man1/kestrix_navdata.1.gz
./usr/share/man/man1/kestrix_sim.1.gz
./usr/share/metainfo/org.kestrix.diagnostics.metainfo.xml
LIST
)
actual=$(dpkg-deb --fsys-tarfile "$build/$deb" | tar -t | grep -v '/$' | sort)
if [ "$actual" != "$expected" ]; then
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  fail "the package's file list differs from the expected one (above: - expected, + found)"
fi
echo "file list ok ($(echo "$actual" | wc -l) files)"

# Dependencies from dpkg-shlibdeps: the C library and Qt at least.
depends=$(dpkg-deb -f "$build/$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libqt6core6 libqt6widgets6 libqt6network6 libqcustomplot2.1-qt6; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "Depends lacks $lib"
done

# The programs from the package report the project's version.
stage=$(mktemp -d "${TMPDIR:-/tmp}/kestrix-package.XXXXXX")
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$build/$deb" "$stage"
for program in kestrix_diagnostics kestrix_navdata kestrix_sim; do
  said=$("$stage/usr/bin/$program" --version)
  [ "$said" = "$program $version" ] || fail "$program --version says \"$said\", not \"$program $version\""
  file "$stage/usr/bin/$program" | grep -q 'stripped' || fail "$program is not an ELF program"
  zcat "$stage/usr/share/man/man1/$program.1.gz" | grep -q "$program $version" ||
    fail "the manual page of $program does not carry version $version"
done
echo "versions ok ($version)"

appstreamcli validate --no-net "$stage/usr/share/metainfo/org.kestrix.diagnostics.metainfo.xml" ||
  fail "appstreamcli rejects the AppStream metadata"
desktop-file-validate "$stage/usr/share/applications/kestrix_diagnostics.desktop" ||
  fail "desktop-file-validate rejects the desktop entry"

echo "== lintian"
lintian --fail-on error --display-info "$build/$deb" || fail "lintian reports errors"

cp "$build/$deb" "$root/$deb"
echo "== package ok: $root/$deb"
echo "   install it with: sudo apt install ./$deb"
