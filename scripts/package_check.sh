#!/usr/bin/env bash
# Builds the site package from a release build folder (default build/release) and checks what it
# installs: the file list, that the programs start from where the package puts them, and that the
# desktop and MIME entries are the ones the program writes for a user by itself.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/release}" && pwd)
examples=$(pwd)/examples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_check: $*" >&2; exit 1; }

cmake --build "$build"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >/dev/null
debs=("$work"/out/zorinput_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one zorinput_*.deb, found: ${debs[*]}"
deb=${debs[0]}

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/list"
expected=(
  /usr/bin/zorinput /usr/bin/zorinput-server
  /lib/systemd/system/zorinput-import-worker@.service /lib/systemd/system/zorinput-pfimport@.service
  /usr/lib/sysusers.d/zorinput.conf
  /usr/share/applications/zorinput_import_file-open.desktop /usr/share/mime/packages/zorinput_import_file.xml
  /usr/share/doc/zorinput/README.md /usr/share/doc/zorinput/pfimport.conf.example
)
for example in "$examples"/*; do expected+=("/usr/share/doc/zorinput/examples/$(basename "$example")"); done
for file in "${expected[@]}"; do grep -qxF "$file" "$work/list" || fail "missing from the package: $file"; done
dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "no computed dependencies"
dpkg-deb -e "$deb" "$work/control"
[ -x "$work/control/postinst" ] || fail "no postinst"

root=$work/root
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/zorinput" -version | grep -qF "ZorInput 20240410-1131" || fail "zorinput -version"
status=0
"$root/usr/bin/zorinput-server" --help 2>"$work/usage" || status=$?
[ "$status" -eq 2 ] && grep -q '^usage: zorinput-server' "$work/usage" || fail "zorinput-server usage (status $status)"

# The desktop start registers the import file types for its user; the package's files must match.
# Without a display the desktop itself then ends at once.
mkdir "$work/home"
(cd "$work/home" && HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/zorinput" -noracote >/dev/null 2>&1) || true
user=$work/home/data
cmp -s "$user/mime/packages/zorinput_import_file.xml" "$root/usr/share/mime/packages/zorinput_import_file.xml" \
  || fail "the MIME package differs from the one the program writes"
sed "s|^Exec=$root/usr/bin/zorinput |Exec=/usr/bin/zorinput |" "$user/applications/zorinput_import_file-open.desktop" \
  | cmp -s - "$root/usr/share/applications/zorinput_import_file-open.desktop" \
  || fail "the desktop entry differs from the one the program writes"

echo "package_check: $(basename "$deb") holds its ${#expected[@]} expected files and its programs run"
