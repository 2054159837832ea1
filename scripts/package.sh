#!/usr/bin/env bash
# Builds the Debian package norva_<version>_<arch>.deb from the tree, with
# CPack's DEB generator over the project's install rules; Depends is computed
# from the programs' shared libraries by dpkg-shlibdeps.
#
#   scripts/package.sh [BUILD_DIR] [--out DIR]
#
#   (no BUILD_DIR)  configure build-package/ as a release build with Debian's
#                   flags and all hardening (dpkg-buildflags), build only what the
#                   package holds, and package it
#   BUILD_DIR       package what that configured build directory holds,
#                   building only what is missing (scripts/check-package.sh
#                   reuses the test build this way)
#   --out DIR       where the .deb goes (default: the build directory)
#
# The last line printed is the path of the package.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build=""
out=""
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out="${2:?--out needs a directory}"; shift 2 ;;
        --out=*) out="${1#--out=}"; shift ;;
        -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "package: unknown option: $1" >&2; exit 2 ;;
        *) [ -z "$build" ] || { echo "package: one build directory only" >&2; exit 2; }
           build="$1"; shift ;;
    esac
done

for tool in cmake cpack ninja dpkg-shlibdeps scdoc; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "package: $tool missing (bash scripts/deps.sh installs it)" >&2
        exit 1
    fi
done

if [ -z "$build" ]; then
    build="$here/build-package"
    # Debian's flags (optimisation, all hardening), given on every configure
    # so that a change of them reaches this build directory too. No tests,
    # no benchmarks: the package build makes only its own targets.
    # (dpkg-buildflags maps the current directory out of the debug info.)
    cd "$here"
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cmake -G Ninja -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=None \
        -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
        -DNORVA_BENCH=OFF -DNORVA_TEST_DIRS= -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
elif [ ! -f "$build/CPackConfig.cmake" ]; then
    # A build directory of an older tree, or not configured yet.
    cmake "$build" >/dev/null
fi
build="$(cd "$build" && pwd)"
[ -f "$build/CPackConfig.cmake" ] || { echo "package: $build has no CPackConfig.cmake" >&2; exit 1; }

ninja -C "$build" norva tncsim norva_docs >/dev/null
out="${out:-$build}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

# CPack stages the install under its own directory; a stale stage or package
# from an earlier run must not leak into this one.
stage="$build/package"
rm -rf "$stage"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$stage" >"$build/cpack.log" 2>&1 || {
    cat "$build/cpack.log" >&2
    exit 1
}
deb="$(ls "$stage"/norva_*.deb)"
if [ "$out" != "$stage" ]; then
    mv -f "$deb" "$out/"
    deb="$out/$(basename "$deb")"
fi
rm -rf "$stage/_CPack_Packages"
echo "$deb"
