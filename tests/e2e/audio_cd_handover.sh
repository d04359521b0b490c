#!/usr/bin/env bash
# Audio-CD addresses reach the playlist through "Quorbel Tirk Executer.exe"
# as the desktop hands them over: GStreamer's "cdda://N", the file
# manager's "cdda://sr0/Track 1.wav" form is a track too, and the drive
# alone ("cdda://", as the menu entry gives it) becomes every track of its
# disc. A BIN/CUE image made here with sox is the drive (QPT_CD_DEVICE).
# The playlist is read back through the autosave that a real Alt+F4 writes.
set -euo pipefail
app_build=$1
player="Quorbel Player Tirk.exe"
executer="Quorbel Tirk Executer.exe"

tmp=$(mktemp -d)
cleanup() {
  for pid in $(pgrep -f "^$tmp/app/" || true); do kill "$pid" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT
mkdir -p "$tmp/app" "$tmp/config" "$tmp/runtime" "$tmp/cd"
chmod 700 "$tmp/runtime"
cp "$app_build/$player" "$app_build/$executer" "$tmp/app/"
printf '[Option]\nAutoFileAss=2\nTransPlayList=1\nFadeOutCD=2\nMinimizeSeparate=2\nAutosavePlayList=1\nOSOT=2\n' \
  > "$tmp/config/Quorbel Player Tirk.ini"

# Two tracks of whole sectors (588 samples each), one after the other.
for n in 1 2; do
  timeout 30 sox -r 44100 -c 2 -n -b 16 -e signed -L -t raw "$tmp/cd/t$n.raw" synth $((n * 75 * 588))s sine $((n * 440))
done
cat "$tmp/cd/t1.raw" "$tmp/cd/t2.raw" > "$tmp/cd/disc.bin"
printf 'FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n' \
  > "$tmp/cd/disc.cue"

export GST_REGISTRY="${GST_REGISTRY:-${XDG_CACHE_HOME:-$HOME/.cache}/gstreamer-1.0/registry.$(uname -m).bin}"
export XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime" XDG_CACHE_HOME="$tmp/cache" QPT_AUDIO_SINK="fakesink sync=true"
export QPT_DIALOG_ANSWERS="" QPT_DIALOG_LOG="$tmp/dialogs.jsonl" QPT_CD_DEVICE="$tmp/cd/disc.cue"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/no-bus"
unset QT_QPA_PLATFORM

cat > "$tmp/session.sh" <<SESSION
set -euo pipefail
cd "$tmp"
wait_for() { for _ in \$(seq 1 150); do if eval "\$1"; then return 0; fi; sleep 0.1; done; echo "timed out: \$1" >&2; return 1; }
player_pid() { pgrep -f "^$tmp/app/$player" | head -n 1; }
batches_loaded() { ! ls "$tmp/app/"*.sng >/dev/null 2>&1; }

"$tmp/app/$executer" "cdda://2" "cdda://sr0/Track%201.wav"
wait_for '[ -n "\$(player_pid)" ]'
"$tmp/app/$executer" "cdda://"
wait_for 'batches_loaded'
sleep 0.5
pid=\$(player_pid)
wait_for 'window=\$(xdotool search --name "^Quorbel Player Tirk v1.00\$" | head -n 1); [ -n "\$window" ]'
window=\$(xdotool search --name "^Quorbel Player Tirk v1.00\$" | head -n 1)
xdotool windowfocus --sync "\$window"
sleep 0.3
xdotool key --clearmodifiers alt+F4
wait_for "! kill -0 \$pid 2>/dev/null"
SESSION

timeout -k 5 100 xvfb-run -a -s "-screen 0 1024x768x24" bash "$tmp/session.sh"
# Each track keeps its address; the file manager's names the drive it came
# from (no disc there: said once). The two hand-overs load in either order.
saved=$(tr -d '\r' < "$tmp/app/autosavedlist.aut" | sed '/^$/d' | LC_ALL=C sort)
expected=$(printf '%s\n' "cdda:///dev/sr0#1" "cdda://1" "cdda://2" "cdda://2")
[ "$saved" = "$expected" ] || { echo "playlist differs:"; echo "$saved"; exit 1; }
[ "$(grep -c '"No Audio CD"' "$tmp/dialogs.jsonl" || true)" = 1 ] || { echo "expected one No Audio CD box"; cat "$tmp/dialogs.jsonl" || true; exit 1; }
echo "audio CD hand-over: ok"
