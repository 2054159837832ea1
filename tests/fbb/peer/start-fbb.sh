#!/bin/bash
# start-fbb.sh DIR TNCDEVICE: a minimal F6FBB BBS (Debian package fbb, xfbbd 7.0.11) as DB0FBB on a
# WA8DED host-mode TNC at TNCDEVICE (a pty of tncsim works), with everything it writes under DIR.
# Prints xfbbd's PID on success; stop it with SIGTERM (it takes the TNC out of host mode, ~4 s).
#
# start-fbb.sh --exec DIR TNCLINK: the same set-up, then xfbbd runs in the foreground in place of
# this script (its PID is the caller's child; output goes where the script's goes). TNCLINK is used
# as it is: at most 19 characters (see port.sys). The test fixture starts FBB this way.
set -eu
foreground=0
if [ "${1:-}" = "--exec" ]; then foreground=1; shift; fi
[ $# -eq 2 ] || { echo "usage: start-fbb.sh [--exec] DIR TNCDEVICE" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
F=$(mkdir -p "$1" && cd "$1" && pwd); dev=$2
command -v xfbbd >/dev/null || { echo "xfbbd missing: apt-get install fbb" >&2; exit 1; }
lib=$(dirname "$(dpkg -L fbb | grep '/fbb/pg$' | head -1)")
if [ $foreground -eq 1 ]; then
    link=$dev
    [ ${#link} -le 19 ] || { echo "TNCLINK $link is longer than 19 characters" >&2; exit 2; }
else
    # port.sys cuts the device name at 19 characters: reach the TNC through a short link.
    link=$(mktemp -u /tmp/fbbXXXXXX); ln -sfn "$dev" "$link"
fi
mkdir -p "$F"/etc "$F"/var/{oldmail,docs,wp,sat,log,fbbdos/yapp,fbbdos/readonly}
for i in 0 1 2 3 4 5 6 7 8 9; do mkdir -p "$F/var/mail/mail$i" "$F/var/binmail/mail$i"; done
cp -r /etc/ax25/fbb/lang /etc/ax25/fbb/langue.sys /etc/ax25/fbb/bbs.sys /etc/ax25/fbb/cron.sys \
      /etc/ax25/fbb/redist.sys /etc/ax25/fbb/swapp.sys /etc/ax25/fbb/themes.sys "$F/etc/"
fill() { sed "s|@DIR@|$F|g; s|@TNC@|$link|g; s|@LIB@|$lib|g" "$here/$1" > "$2"; }
for f in port.sys reject.sys forward.sys passwd.sys protect.sys; do fill $f "$F/etc/$f"; done
fill fbb.conf "$F/fbb.conf"
cd "$F"
# A fresh data directory makes xfbbd ask "Creating file ... (Y/N) ?" for each data file; with its
# input at EOF it repeats the question forever. The first run answers Y in test mode (no TNC) and
# every xfbbd output is capped (ulimit -f, 512-byte blocks). The messages of mail.in are imported
# at the next start, once: a data directory used again keeps them.
if [ ! -f "$F/var/dirmes.sys" ]; then
    sed 's/^test = NO/test = OK/' "$F/fbb.conf" > "$F/fbb-init.conf"
    yes Y 2>/dev/null | head -c 2000 | (ulimit -f 2000; FBBCONF="$F/fbb-init.conf" exec timeout 60 xfbbd -v -i -n) > "$F/xfbbd-init.out" 2>&1 || true
    [ -f "$F/var/dirmes.sys" ] || { echo "xfbbd -i created no data files (see $F/xfbbd-init.out)" >&2; exit 1; }
    fill mail.in "$F/var/mail/mail.in"
fi
# -n: no console TCP socket. Its output is block-buffered: stdbuf makes it line by line.
export FBBCONF="$F/fbb.conf"
ulimit -f 40000
if [ $foreground -eq 1 ]; then exec stdbuf -oL -eL xfbbd -v -n < /dev/null; fi
# The shell around it waits for its end and takes the link away.
setsid sh -c "stdbuf -oL -eL xfbbd -v -n & echo \$! > '$F/xfbbd.pid'; wait; rm -f '$link'" < /dev/null > "$F/xfbbd.out" 2>&1 &
for i in $(seq 1 200); do grep -a -q 'xfbbd ready and running' "$F/xfbbd.out" 2>/dev/null && break; sleep 0.1; done
grep -a -q 'xfbbd ready and running' "$F/xfbbd.out" || { echo "xfbbd not ready after 20 s (see $F/xfbbd.out)" >&2; exit 1; }
cat "$F/xfbbd.pid"
