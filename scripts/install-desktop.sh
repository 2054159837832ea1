#!/usr/bin/env bash
# Makes Norva known to the desktop of the current user: a menu entry
# (norva.desktop) and the file type of station files (application/x-norva-station,
# *.stn), opened by Norva on a double click. Installs nothing system-wide and
# needs no root; running it twice leaves the same state.
#
#   scripts/install-desktop.sh [--bin PATH] [--uninstall]
#
#   --bin PATH    the norva program to start (default: norva on PATH, else the
#                 newest build directory's src/gui/norva)
#   --uninstall   take the menu entry and the file type away again
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
data="${XDG_DATA_HOME:-$HOME/.local/share}"
apps="$data/applications"
mime="$data/mime"
icons="$data/icons/hicolor/scalable/apps"
bin=""
uninstall=0

while [ $# -gt 0 ]; do
    case "$1" in
        --bin) bin="${2:?--bin needs a path}"; shift 2 ;;
        --bin=*) bin="${1#--bin=}"; shift ;;
        --uninstall) uninstall=1; shift ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "install-desktop: unknown argument: $1" >&2; exit 2 ;;
    esac
done

have() { command -v "$1" >/dev/null 2>&1; }

refresh() {
    if have update-mime-database; then
        update-mime-database "$mime" >/dev/null 2>&1 && echo "  updated the MIME database in $mime"
    else
        echo "  update-mime-database not found: the file type is known after the next login"
    fi
    if have update-desktop-database; then
        update-desktop-database "$apps" >/dev/null 2>&1 && echo "  updated the application database in $apps"
    else
        echo "  update-desktop-database not found: the menu picks the entry up by itself"
    fi
}

if [ "$uninstall" = 1 ]; then
    echo "Removing Norva's desktop entry and the station file type:"
    rm -f "$apps/norva.desktop" "$mime/packages/norva-stn.xml" "$icons/norva.svg"
    echo "  removed $apps/norva.desktop, $mime/packages/norva-stn.xml and $icons/norva.svg"
    mkdir -p "$mime/packages" "$apps"
    refresh
    exit 0
fi

if [ -z "$bin" ]; then
    if have norva; then
        bin="$(command -v norva)"
    else
        bin="$(ls -t "$here"/build*/src/gui/norva 2>/dev/null | head -n 1 || true)"
    fi
fi
if [ -z "$bin" ] || [ ! -x "$bin" ]; then
    echo "install-desktop: no norva program found; build it first or name it with --bin PATH" >&2
    exit 1
fi
bin="$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")"

echo "Installing Norva for $USER (program: $bin):"
mkdir -p "$apps" "$mime/packages"
# The entry starts exactly this program; a path with blanks is quoted as the
# desktop entry format wants it.
exec_line="Exec=\"${bin//\"/\\\"}\" %f"
sed "s|^Exec=.*|${exec_line//|/\\|}|" "$here/packaging/norva.desktop" > "$apps/norva.desktop.tmp"
mv "$apps/norva.desktop.tmp" "$apps/norva.desktop"
echo "  wrote $apps/norva.desktop"
# The entry names its icon "norva": without it the menu shows a generic one.
mkdir -p "$icons"
install -m 644 "$here/packaging/norva.svg" "$icons/norva.svg"
echo "  wrote $icons/norva.svg"
install -m 644 "$here/packaging/norva-stn.xml" "$mime/packages/norva-stn.xml"
echo "  wrote $mime/packages/norva-stn.xml (application/x-norva-station, *.stn)"
refresh
if have xdg-mime; then
    xdg-mime default norva.desktop application/x-norva-station && \
        echo "  station files (*.stn) now open with Norva (xdg-mime default)"
else
    echo "  xdg-mime not found: choose Norva for .stn files in the file manager once"
fi
echo "Done. A double click on a .stn file starts: $bin FILE.stn"
