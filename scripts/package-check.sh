#!/usr/bin/env bash
# Builds the Debian package from build/ in a scratch folder (build/package-check/) and
# checks it: its name, its file list, its control fields (the Qt libraries in Depends
# come from dpkg-shlibdeps), the desktop entry, MIME type, icon and manual pages it
# holds, and the programs extracted from it (they link the system's Qt).
# Run after the build (scripts/test.sh calls it); takes a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

checks=0
fail() { echo "package-check: FAIL: $*" >&2; exit 1; }
ok() { checks=$((checks + 1)); }

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate xmllint update-mime-database groff; do
  command -v "$tool" >/dev/null || fail "$tool is missing (bash scripts/setup.sh installs it)"
done
[ -f build/CPackConfig.cmake ] || fail "build/ is not configured (bash scripts/build.sh first)"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
[ -n "$version" ] || fail "no project version in build/CMakeCache.txt"
arch=$(dpkg --print-architecture)

scratch=build/package-check
rm -rf "$scratch"
mkdir -p "$scratch"
deb=$(bash scripts/package.sh "$scratch/cpack" | tail -n 1) || fail "the package could not be built"

# The file name.
expected="dnp-configure_${version}_${arch}.deb"
[ "$(basename "$deb")" = "$expected" ] || fail "package is named $(basename "$deb"), expected $expected"
ok

# The file list.
dpkg-deb -c "$deb" >"$scratch/contents.txt" || fail "dpkg-deb -c cannot read $deb"
paths=$(awk '{print $6}' "$scratch/contents.txt")
for file in usr/bin/dnp-configure usr/bin/dnpcfg usr/bin/dnp-panel-sim \
            usr/share/applications/dnp-configure.desktop \
            usr/share/mime/packages/dnp-configure.xml \
            usr/share/icons/hicolor/scalable/apps/dnp-configure.svg \
            usr/share/man/man1/dnpcfg.1.gz usr/share/man/man1/dnp-panel-sim.1.gz \
            usr/share/doc/dnp-configure/README.md; do
  grep -qx "\./$file" <<<"$paths" || fail "the package lacks /$file"
  ok
done
for program in dnp-configure dnpcfg dnp-panel-sim; do
  grep -Eq "^-rwxr-xr-x root/root .* \./usr/bin/$program\$" "$scratch/contents.txt" ||
    fail "/usr/bin/$program is not an executable owned by root: $(grep "/usr/bin/$program\$" "$scratch/contents.txt")"
done
ok
if stray=$(grep -E 'test_|bench|fuzz|gtest|gmock|/include/|\.a$|\.cmake$' <<<"$paths"); then
  fail "the package holds files that are not for users: $(echo $stray)"
fi
ok

# The control fields.
for field in Package Version Architecture Maintainer Section Description Depends; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the control field $field is empty"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is $(dpkg-deb -f "$deb" Version), expected $version"
ok
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6serialport6 libqt6network6 libqt6sql6 libqt6sql6-sqlite libqt6widgets6 libqt6gui6 qt6-qpa-plugins; do
  grep -Eq "(^|, )$library( |,|\$)" <<<"$depends" || fail "Depends does not name $library: $depends"
  ok
done

# The files themselves.
root="$scratch/root"
dpkg -x "$deb" "$root" || fail "dpkg -x cannot extract $deb"
desktop="$root/usr/share/applications/dnp-configure.desktop"
desktop-file-validate "$desktop" >"$scratch/desktop-validate.txt" 2>&1 ||
  fail "desktop-file-validate rejects the desktop entry: $(cat "$scratch/desktop-validate.txt")"
for line in 'Name=DNP Configure' 'Exec=dnp-configure %f' 'Icon=dnp-configure' 'Type=Application' \
            'MimeType=application/x-dnp-configuration;'; do
  grep -qxF "$line" "$desktop" || fail "the desktop entry lacks the line: $line"
done
grep -Eq '^Categories=(.*;)?Utility;' "$desktop" || fail "the desktop entry is not in the Utility category"
ok
xmllint --noout "$root/usr/share/icons/hicolor/scalable/apps/dnp-configure.svg" 2>"$scratch/xmllint.txt" ||
  fail "the icon is not well-formed XML: $(cat "$scratch/xmllint.txt")"
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/dnp-configure.svg" || fail "the icon is no SVG"
ok
mkdir -p "$scratch/mime/packages"
cp "$root/usr/share/mime/packages/dnp-configure.xml" "$scratch/mime/packages/"
update-mime-database "$scratch/mime" >"$scratch/mime.txt" 2>&1 ||
  fail "update-mime-database rejects the MIME type: $(cat "$scratch/mime.txt")"
grep -qx '50:application/x-dnp-configuration:\*\.dnp' "$scratch/mime/globs2" ||
  fail "the MIME database does not map *.dnp to application/x-dnp-configuration"
ok
for page in dnpcfg dnp-panel-sim; do
  gz="$root/usr/share/man/man1/$page.1.gz"
  warnings=$(gzip -dc "$gz" | groff -man -Tutf8 -ww -z 2>&1) || fail "groff cannot format the manual page $page(1)"
  [ -z "$warnings" ] || fail "the manual page $page(1) has groff warnings: $warnings"
  gzip -dc "$gz" | grep -q "^\.TH .*\"DNP Configure $version\"" || fail "the manual page $page(1) does not carry version $version"
  ok
done

# The extracted programs, with the system's Qt.
for program in dnp-configure dnpcfg dnp-panel-sim; do
  missing=$(ldd "$root/usr/bin/$program" | grep 'not found' || true)
  [ -z "$missing" ] || fail "$program lacks libraries: $missing"
done
ok
printed=$("$root/usr/bin/dnpcfg" --version) || fail "the packaged dnpcfg --version failed"
[ "$printed" = "dnpcfg $version" ] || fail "the packaged dnpcfg --version printed '$printed', expected 'dnpcfg $version'"
ok
help=$("$root/usr/bin/dnp-panel-sim" --help) || fail "the packaged dnp-panel-sim --help failed"
grep -q -- '--silent-at' <<<"$help" || fail "the packaged dnp-panel-sim --help does not list its options"
ok

echo "package-check: $checks checks, all good: $deb"
echo "  Depends: $depends"
