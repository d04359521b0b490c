#!/usr/bin/env bash
# A file opened in the file manager reaches the playlist through
# "Quorbel Tirk Executer.exe": with no player running the executer starts
# one, which loads the file; with a player running, several files opened at
# once (and a FLAC file opened right after) all arrive. The playlist is read
# back through the autosave that a real Alt+F4 writes.
set -euo pipefail
app_build=$1
data=$2
player="Quorbel Player Tirk.exe"
executer="Quorbel Tirk Executer.exe"

tmp=$(mktemp -d)
trap 'pkill -f "$tmp/app/" 2>/dev/null || true; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/app" "$tmp/config" "$tmp/runtime" "$tmp/music"
chmod 700 "$tmp/runtime"
cp "$app_build/$player" "$app_build/$executer" "$tmp/app/"
for name in "one" "two" "three"; do cp "$data/cbr.mp3" "$tmp/music/$name.mp3"; done
cp "$data/tone.flac" "$tmp/music/four.flac"
printf '[Option]\nAutoFileAss=2\nTransPlayList=1\nFadeOutCD=2\nMinimizeSeparate=2\nAutosavePlayList=1\nOSOT=2\n' \
  > "$tmp/config/Quorbel Player Tirk.ini"

# A cache folder of the test's own (song lengths), GStreamer's registry where it was.
export GST_REGISTRY="${GST_REGISTRY:-${XDG_CACHE_HOME:-$HOME/.cache}/gstreamer-1.0/registry.$(uname -m).bin}"
export XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime" XDG_CACHE_HOME="$tmp/cache" QPT_AUDIO_SINK="fakesink sync=true"
export QPT_DIALOG_ANSWERS="" QPT_DIALOG_LOG="$tmp/dialogs.jsonl"
# No session bus: the player never joins (or starts) the user's own.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/no-bus"
unset QT_QPA_PLATFORM

cat > "$tmp/session.sh" <<SESSION
set -euo pipefail
cd "$tmp"
wait_for() { for _ in \$(seq 1 150); do if eval "\$1"; then return 0; fi; sleep 0.1; done; echo "timed out: \$1" >&2; return 1; }
player_pid() { pgrep -f "^$tmp/app/$player" | head -n 1; }
batches_loaded() { ! ls "$tmp/app/"*.sng >/dev/null 2>&1; }
quit_with_autosave() {
  local window pid
  pid=\$(player_pid)
  wait_for 'window=\$(xdotool search --name "^Quorbel Player Tirk v1.00\$" | head -n 1); [ -n "\$window" ]'
  window=\$(xdotool search --name "^Quorbel Player Tirk v1.00\$" | head -n 1)
  xdotool windowfocus --sync "\$window"
  sleep 0.3
  xdotool key --clearmodifiers alt+F4
  wait_for "! kill -0 \$pid 2>/dev/null"
}
sorted_autosave() { tr -d '\r' < "$tmp/app/autosavedlist.aut" | sed '/^\$/d' | sort; }

# No player running: the executer starts one, which loads the file.
"$tmp/app/$executer" "$tmp/music/one.mp3"
wait_for '[ -n "\$(player_pid)" ]'
wait_for 'batches_loaded'
sleep 0.3
quit_with_autosave
[ "\$(sorted_autosave)" = "$tmp/music/one.mp3" ] || { echo "first file missing"; cat "$tmp/app/autosavedlist.aut"; exit 1; }
rm "$tmp/app/autosavedlist.aut"

# A player runs: two files opened together and one more right after.
"$tmp/app/$player" & wait_for '[ -n "\$(player_pid)" ]'
sleep 0.5
"$tmp/app/$executer" "$tmp/music/two.mp3" "$tmp/music/three.mp3"
"$tmp/app/$executer" "$tmp/music/four.flac"
[ "\$(pgrep -fc "^$tmp/app/$player")" = 1 ] || { echo "a second player was started"; exit 1; }
wait_for 'batches_loaded'
sleep 0.3
quit_with_autosave
expected=\$(printf '%s\n' "$tmp/music/four.flac" "$tmp/music/three.mp3" "$tmp/music/two.mp3")
[ "\$(sorted_autosave)" = "\$expected" ] || { echo "files missing"; cat "$tmp/app/autosavedlist.aut"; exit 1; }
SESSION

timeout -k 5 100 xvfb-run -a -s "-screen 0 1024x768x24" bash "$tmp/session.sh"
echo "executer hand-over: ok"
