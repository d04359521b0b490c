#!/usr/bin/env bash
# With "AutosavePlayList" = "1": the player loads a batch file of real songs,
# a real Alt+F4 key press writes "autosavedlist.aut" with exactly those paths,
# and the next start loads them back into the playlist (shown by the next
# Alt+F4 writing them again). Runs the real player on its own X server.
set -euo pipefail
app_build=$1
data=$2
player="Quorbel Player Tirk.exe"

tmp=$(mktemp -d)
trap 'pkill -f "$tmp/app/$player" 2>/dev/null || true; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/app" "$tmp/config" "$tmp/runtime" "$tmp/music/two words"
chmod 700 "$tmp/runtime"
cp "$app_build/$player" "$tmp/app/"
cp "$data/tone.wav" "$tmp/music/first.wav"
cp "$data/cbr.mp3" "$tmp/music/two words/second song.mp3"
printf '[Option]\nAutoFileAss=2\nTransPlayList=1\nFadeOutCD=2\nMinimizeSeparate=2\nAutosavePlayList=1\nOSOT=2\n' \
  > "$tmp/config/Quorbel Player Tirk.ini"
first="$tmp/music/first.wav"
second="$tmp/music/two words/second song.mp3"
printf '%s\r\n' "$first" "$second" > "$tmp/app/mine.sng"
expected=$(printf '%s\r\n%s\r\n\r\n' "$first" "$second" | od -c)

# A cache folder of the test's own (song lengths), GStreamer's registry where it was.
export GST_REGISTRY="${GST_REGISTRY:-${XDG_CACHE_HOME:-$HOME/.cache}/gstreamer-1.0/registry.$(uname -m).bin}"
export XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime" XDG_CACHE_HOME="$tmp/cache" QPT_AUDIO_SINK="fakesink sync=true"
export QPT_DIALOG_ANSWERS="" QPT_DIALOG_LOG="$tmp/dialogs.jsonl"
# No session bus: the player never joins (or starts) the user's own.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/no-bus"
unset QT_QPA_PLATFORM

cat > "$tmp/session.sh" <<SESSION
set -euo pipefail
wait_for() { for _ in \$(seq 1 100); do if eval "\$1"; then return 0; fi; sleep 0.1; done; echo "timed out: \$1" >&2; return 1; }
press_alt_f4() {
  local window
  wait_for 'window=\$(xdotool search --name "^Quorbel Player Tirk v1.00\$" | head -n 1); [ -n "\$window" ]'
  window=\$(xdotool search --name "^Quorbel Player Tirk v1.00\$" | head -n 1)
  xdotool windowfocus --sync "\$window"
  sleep 0.3
  xdotool key --clearmodifiers alt+F4
}

"$tmp/app/$player" & pid=\$!
wait_for '[ ! -e "$tmp/app/mine.sng" ]'
sleep 0.5
press_alt_f4
wait_for '! kill -0 \$pid 2>/dev/null'
[ "\$(od -c < "$tmp/app/autosavedlist.aut")" = "$expected" ] || { echo "first autosave differs" >&2; od -c "$tmp/app/autosavedlist.aut" >&2; exit 1; }

# The next start queues the autosaved list; once it is loaded the old file
# goes, so that only a playlist holding the songs can write it again.
"$tmp/app/$player" & pid=\$!
wait_for '[ -e "$tmp/app/autosavedlist.sng" ] || [ ! -e "$tmp/app/autosavedlist.aut" ]'
wait_for '[ ! -e "$tmp/app/autosavedlist.sng" ]'
rm "$tmp/app/autosavedlist.aut"
sleep 0.5
press_alt_f4
wait_for '! kill -0 \$pid 2>/dev/null'
[ "\$(od -c < "$tmp/app/autosavedlist.aut")" = "$expected" ] || { echo "second autosave differs" >&2; exit 1; }
SESSION

timeout -k 5 100 xvfb-run -a -s "-screen 0 1024x768x24" bash "$tmp/session.sh"
echo "autosave round trip: ok"
