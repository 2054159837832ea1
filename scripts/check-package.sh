#!/usr/bin/env bash
# Builds the Debian package and checks it: its file list (every file an
# installed Norva needs, nothing of the build besides), owners and modes,
# the control fields, and that the packaged programs, desktop entry,
# AppStream data and manual pages work. Fast when given the build directory
# of the test run, which it reuses:
#
#   scripts/check-package.sh [BUILD_DIR]     (default: build-package/, as package.sh)
#
# Exits 0 with "skipped: dpkg-deb missing" where there is no dpkg-deb (no
# Debian); any other missing tool is a failure.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if ! command -v dpkg-deb >/dev/null 2>&1; then
    echo "skipped: dpkg-deb missing"
    exit 0
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
deb="$(bash "$here/scripts/package.sh" ${1:+"$1"} --out "$work" | tail -n 1)"
echo "checking $deb"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Names as dpkg-deb lists them ("./usr/bin/norva"), with their mode and owner.
dpkg-deb -c "$deb" >"$work/contents"
awk '{ print $6 }' "$work/contents" | sed 's|/$||' >"$work/files"

expected=(
    ./usr/bin/norva
    ./usr/bin/norva-tncsim
    ./usr/share/applications/norva.desktop
    ./usr/share/mime/packages/norva-stn.xml
    ./usr/share/icons/hicolor/scalable/apps/norva.svg
    ./usr/share/metainfo/org.norva.Norva.metainfo.xml
    ./usr/share/man/man1/norva.1.gz
    ./usr/share/man/man1/norva-tncsim.1.gz
    ./usr/lib/systemd/user/norva-station.service
    ./usr/share/doc/norva/copyright
    ./usr/share/doc/norva/changelog.gz
    ./usr/share/doc/norva/README.md
)
for f in "${expected[@]}"; do
    grep -qxF "$f" "$work/files" || fail "the package lacks $f"
done
# Only what belongs to an installed program: nothing outside /usr, no
# libraries, headers or test programs of the build.
while read -r f; do
    case "$f" in
        .|./usr|./usr/bin|./usr/bin/norva|./usr/bin/norva-tncsim) ;;
        ./usr/share|./usr/share/applications/*|./usr/share/applications) ;;
        ./usr/share/mime|./usr/share/mime/packages|./usr/share/mime/packages/norva-stn.xml) ;;
        ./usr/share/icons|./usr/share/icons/hicolor|./usr/share/icons/hicolor/scalable) ;;
        ./usr/share/icons/hicolor/scalable/apps|./usr/share/icons/hicolor/scalable/apps/norva.svg) ;;
        ./usr/share/metainfo|./usr/share/metainfo/org.norva.Norva.metainfo.xml) ;;
        ./usr/share/man|./usr/share/man/man1|./usr/share/man/man1/*.1.gz) ;;
        ./usr/lib|./usr/lib/systemd|./usr/lib/systemd/user|./usr/lib/systemd/user/norva-station.service) ;;
        ./usr/share/doc|./usr/share/doc/norva|./usr/share/doc/norva/*) ;;
        *) fail "unexpected file in the package: $f" ;;
    esac
done <"$work/files"
# Owned by root; programs 0755, every other file 0644.
awk '$2 != "root/root" { print "FAIL: not owned by root: " $6 }' "$work/contents" | tee -a "$work/bad"
awk '$1 ~ /^-/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { print "FAIL: mode " $1 " of " $6 }
     $1 ~ /^-/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { print "FAIL: mode " $1 " of " $6 }' \
    "$work/contents" | tee -a "$work/bad"
[ -s "$work/bad" ] && failures=$((failures + $(wc -l <"$work/bad")))

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = norva ] || fail "Package is '$(field Package)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = hamradio ] || fail "Section is '$(field Section)'"
[ "$(field Priority)" = optional ] || fail "Priority is '$(field Priority)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Installed-Size)" ] || fail "no Installed-Size"
version="$(sed -n 's/^project(Norva VERSION \([^ ]*\).*/\1/p' "$here/CMakeLists.txt")"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project's is $version"
changelog_version="$(sed -n '1s/^norva (\([^)]*\)).*/\1/p' "$here/packaging/changelog")"
[ "$changelog_version" = "$version" ] || fail "packaging/changelog starts with $changelog_version, the project is $version"
description="$(field Description)"
[ "$(printf '%s\n' "$description" | wc -l)" -gt 2 ] || fail "the Description has no long text"
depends="$(field Depends)"
# From the shared libraries: the C library always, Qt with the desktop program.
for lib in libc6 libstdc++6; do
    case ", $depends" in *", $lib "*|*", $lib,"*|*", $lib") ;; *) fail "Depends lacks $lib: $depends" ;; esac
done
dpkg-deb -x "$deb" "$work/root"
root="$work/root"
if grep -qa libQt6Widgets "$root/usr/bin/norva"; then
    case "$depends" in *libqt6widgets6*) ;; *) fail "norva uses Qt Widgets, Depends lacks libqt6widgets6: $depends" ;; esac
fi

# What is inside works.
"$root/usr/bin/norva" --help >"$work/help" || fail "norva --help failed"
grep -q -- '--verbose' "$work/help" || fail "norva --help does not name --verbose"
"$root/usr/bin/norva-tncsim" --help >/dev/null || fail "norva-tncsim --help failed"
for program in norva norva-tncsim; do
    if readelf -S "$root/usr/bin/$program" | grep -q '\.symtab\|\.debug_info'; then fail "$program is not stripped"; fi
done
unit="$root/usr/lib/systemd/user/norva-station.service"
grep -qx 'ExecStart=/usr/bin/norva --headless --dir %h/.local/share/norva' "$unit" || fail "the unit's ExecStart is not the headless station"
grep -qx 'Restart=on-failure' "$unit" || fail "the unit does not restart on failure"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$root/usr/share/applications/norva.desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --no-net "$root/usr/share/metainfo/org.norva.Norva.metainfo.xml" >"$work/appstream" 2>&1 ||
        { cat "$work/appstream"; fail "appstreamcli validate"; }
fi
if command -v man >/dev/null 2>&1; then
    for page in norva norva-tncsim; do
        warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null || true)"
        [ -z "$warnings" ] || fail "man $page: $warnings"
        LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q '^NAME' ||
            fail "man $page shows no NAME section"
    done
fi

if [ "$failures" -gt 0 ]; then
    echo "package check: $failures failure(s)"
    exit 1
fi
echo "package check passed: $(basename "$deb"), $(wc -l <"$work/files") entries, Depends: $depends"
