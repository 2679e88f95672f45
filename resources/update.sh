#!/bin/sh
# Brings the working folder's yt-dlp up to date when it can, and says which version it is:
#   update.sh FOLDER
# prints one line, "yt-dlp is up to date (VERSION " or "Updated yt-dlp to VERSION ".
# yt-dlp's own -U text goes to standard error; only this script's line is parsed.
ytdlp="${1:-.}/yt-dlp"

if [ -z "$1" ] || [ ! -e "$ytdlp" ]; then
    echo "update.sh: $ytdlp: No such file or directory" >&2
    exit 1
fi

version() {
    "$ytdlp" --version 2>/dev/null | head -n 1
}

# A yt-dlp that belongs to the system's package manager is updated by it, not by -U.
system_owned() {
    resolved=$(readlink -f -- "$ytdlp") || return 1
    [ -w "$resolved" ] || return 0
    command -v dpkg >/dev/null 2>&1 && dpkg -S "$resolved" >/dev/null 2>&1
}

before=$(version)
if [ -z "$before" ]; then
    echo "update.sh: $ytdlp does not run" >&2
    exit 1
fi

if system_owned; then
    printf 'yt-dlp is up to date (%s \n' "$before"
    exit 0
fi

if ! "$ytdlp" -U >&2; then
    echo "update.sh: the update of $ytdlp failed; it stays at $before" >&2
    exit 1
fi

after=$(version)
if [ -z "$after" ]; then
    echo "update.sh: $ytdlp does not run after its update" >&2
    exit 1
fi
if [ "$after" != "$before" ]; then
    printf 'Updated yt-dlp to %s \n' "$after"
else
    printf 'yt-dlp is up to date (%s \n' "$after"
fi
