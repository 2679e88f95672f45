#!/bin/sh
# Obtains yt-dlp at TARGET (a working folder's path + "/yt-dlp"):
#   install.sh TARGET
# Downloads the official release; when that cannot be had (no network) and the system has a
# yt-dlp, links that one instead, which the system's packages then keep up to date.
# ZELVO_YTDLP_URL overrides the download address.
target=$1
url=${ZELVO_YTDLP_URL:-https://github.com/yt-dlp/yt-dlp/releases/latest/download/yt-dlp}

if [ -z "$target" ]; then
    echo "usage: install.sh TARGET" >&2
    exit 2
fi
folder=$(dirname -- "$target")
if [ ! -d "$folder" ]; then
    echo "install.sh: $folder: No such file or directory" >&2
    exit 1
fi

works() {
    [ -x "$1" ] && "$1" --version >/dev/null 2>&1
}

# The download goes to a temporary name in the same folder, so the move is atomic and a
# failed or partial download never replaces a yt-dlp that works.
download="$folder/.yt-dlp.download.$$"
trap 'rm -f "$download"' EXIT INT TERM
if curl --fail --silent --show-error --location --connect-timeout 15 --max-time 900 \
        --output "$download" -- "$url" \
   && chmod 755 "$download" && works "$download"; then
    mv -f -- "$download" "$target" || exit 1
    echo "Installed yt-dlp $("$target" --version) at $target"
    exit 0
fi
echo "install.sh: could not download yt-dlp from $url" >&2

if works "$target"; then
    echo "install.sh: kept the yt-dlp already at $target" >&2
    exit 0
fi

target_resolved=$(readlink -f -- "$target" 2>/dev/null)
saved_ifs=$IFS
IFS=:
for dir in $PATH; do
    IFS=$saved_ifs
    candidate="$dir/yt-dlp"
    [ -n "$dir" ] && works "$candidate" || continue
    [ "$(readlink -f -- "$candidate")" = "$target_resolved" ] && continue
    ln -sf -- "$candidate" "$target" || exit 1
    echo "Linked $target to the system's yt-dlp at $candidate"
    exit 0
done
IFS=$saved_ifs
echo "install.sh: no yt-dlp could be installed at $target" >&2
exit 1
