#!/usr/bin/env bash
# Draws docs/zelvo-main-window.png: the main window, offscreen, over a small history that
# zelvo-cli downloads from a local server (three generated clips, no network needed).
# Rerun it whenever the window changes:
#   scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
output=${1:-$root/docs/zelvo-main-window.png}
build=${ZELVO_BUILD_DIR:-build}
cmake --build "$build" --target zelvo-cli bench_app_start >/dev/null

work=$(mktemp -d)
server=
cleanup() {
    [[ -n $server ]] && kill "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/site" "$work/home/Documents" "$work/videos"
clip() { # name seconds pattern
    ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=25:duration=$2" \
        -f lavfi -i "sine=frequency=$3:duration=$2" -c:v libx264 -preset ultrafast \
        -pix_fmt yuv420p -c:a aac -shortest "$work/site/$1"
}
clip "Harbour at dawn.mp4" 4 440
clip "Mountain pass timelapse.mp4" 6 523
clip "Street market walk.mp4" 3 659

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/site" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do
    curl --silent --output /dev/null "http://127.0.0.1:$port/" && break
    sleep 0.1
done

cli() {
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" ZELVO_YTDLP_URL=http://127.0.0.1:1/ \
        "$build/bin/zelvo-cli" "$@" >/dev/null 2>&1
}
cli setup "$work/videos"
cli download "http://127.0.0.1:$port/Harbour%20at%20dawn.mp4" --note "For the slide show"
cli download "http://127.0.0.1:$port/Mountain%20pass%20timelapse.mp4"
cli download "http://127.0.0.1:$port/Street%20market%20walk.mp4" --note "Sound check"

mkdir -p "$(dirname "$output")"
QT_QPA_PLATFORM=offscreen "$build/bin/bench_app_start" "$work/home/Documents/XTaskModel.sqlite" \
    --grab "$output" >/dev/null
echo "$output"
