#!/usr/bin/env bash
# Installs what is missing, builds Norva and starts it on a demo station that
# needs no hardware: TNC 1 is the tncsim simulator on a pseudo-terminal with
# the test stations DB0SIM and DL1SIM on its radio, TNC 2 is the in-process
# TNC ("dde"), and the dummy TNC's REMOTE and CONVERSE consoles are open.
# The desktop program starts when a display is there, the headless one
# otherwise. Extra arguments go to norva (e.g. --headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build norva tncsim

demo="$PWD/build/demo"
mkdir -p "$demo"
pty="$demo/tnc1.pty"

if [ ! -f "$demo/norva.ini" ]; then
  cat > "$demo/norva.ini" <<INI
; Demo station of scripts/run.sh: no hardware needed.
[Tnc]
1=1
2=1

[1]
TncName=Sim
TncNumber=1
Channels=4
Qrg=438.425
Baudrate=9600
ComPort=$pty
MyCall=DL0NRV
Connected=1
DelayTime=100

[2]
TncName=Dde
TncNumber=2
Channels=4
Qrg=144.800
ComPort=dde
MyCall=DL0NRV
Connected=1

[TncDocuments]
1=1
2=1
86=1
87=1

[Frame]
TopLink=2
left=20
top=20
right=1120
bottom=800

[Color]
Command=0,0,170
TncEcho=150,75,0
InputEcho=0,110,0
LinkStatus=190,0,0
MonHead1=0,120,0
MonHead2=0,90,160
MonInfo=90,90,90
DDEEcho=130,0,130
ChannelInfo=0,0,120
BackGround=255,255,242
INI
fi

build/tools/tncsim/tncsim --pty --call DB0TNC --station DB0SIM --station DL1SIM \
  --link "$pty" >"$demo/tncsim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$pty" ] && break; sleep 0.1; done

echo "Demo station in $demo (tncsim: $demo/tncsim.log)."
echo "On channel [1/1] try an Esc line 'C DB0SIM' to connect to the simulated node."
args=("$@")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  case " ${args[*]:-} " in *" --headless "*) ;; *) args=(--headless "${args[@]}") ;; esac
fi
bin=build/src/gui/norva
[ -x "$bin" ] || bin=build/src/app/norva
"$bin" --dir "$demo" "${args[@]}"
