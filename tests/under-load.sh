#!/bin/sh
# under-load.sh COUNT COMMAND [ARGUMENT...]: runs COMMAND with COUNT busy loops beside it, each
# a process that keeps one core busy, as other work keeps a loaded machine busy. COMMAND takes
# this script's place (and process), and every loop runs only while that process does, so the
# loops end with COMMAND however it ends: done, failed, interrupted or killed.
set -eu
count=$1
shift
i=0
while [ "$i" -lt "$count" ]; do
    sh -c 'while kill -0 "$1" 2>/dev/null; do :; done' busy-loop "$$" &
    i=$((i + 1))
done
exec "$@"
