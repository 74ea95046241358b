#!/usr/bin/env bash
# Deals 100 sample files out into 5 shares with the command-line front end,
# then shows what it made.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
mkdir -p "$work/照片" "$work/分发"
for i in $(seq -w 1 100); do printf 'sample %s\n' "$i" >"$work/照片/IMG_$i.jpg"; done
build/quillmarsh-batch --import "$work/照片" --export "$work/分发" --shares 5 --filter "常用图片格式"
for d in "$work/分发"/*; do printf '%s: %s files\n' "$d" "$(find "$d" -type f | wc -l)"; done
