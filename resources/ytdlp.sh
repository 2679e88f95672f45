#!/bin/sh
# Runs the working folder's yt-dlp for one page URL.
#   ytdlp.sh FOLDER URL OPTIONS
# OPTIONS is one string of words quoted for this shell; eval rebuilds them exactly. The URL
# stays one word after "--", so whatever it holds it is never read as an option. exec makes
# yt-dlp this very process, so terminating it ends the download.
if [ "$#" -ne 3 ]; then
    echo "ERROR: usage: ytdlp.sh FOLDER URL OPTIONS" >&2
    exit 2
fi
ytdlp="$1/yt-dlp"
url=$2
if [ ! -x "$ytdlp" ]; then
    echo "ERROR: yt-dlp is not installed in the working folder $1" >&2
    exit 1
fi
eval "set -- $3"
exec "$ytdlp" "$@" --newline -- "$url"
