#!/usr/bin/env bash
# Two processes create 1000 new files each in one folder at the same time: every file must have
# exactly one creator, so there are 2000 distinct files, each signed once.
set -euo pipefail
build=${1:?build directory}
tool=$build/tests/create_new_files
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/folder"

"$tool" "$work/folder" 1000 A >"$work/a.txt" &
first=$!
"$tool" "$work/folder" 1000 B >"$work/b.txt" &
second=$!
wait "$first"
wait "$second"

files=$(find "$work/folder" -type f | wc -l)
claimed=$(cat "$work/a.txt" "$work/b.txt" | wc -l)
twice=$(cat "$work/a.txt" "$work/b.txt" | sort | uniq -d | wc -l)
signed_twice=$(find "$work/folder" -type f -exec awk 'END { if (NR != 1) print FILENAME }' {} \; | wc -l)
wrong_creator=0
while IFS= read -r path; do [[ $(cat "$path") == A ]] || wrong_creator=$((wrong_creator + 1)); done <"$work/a.txt"
while IFS= read -r path; do [[ $(cat "$path") == B ]] || wrong_creator=$((wrong_creator + 1)); done <"$work/b.txt"

echo "files: $files, claimed: $claimed, claimed twice: $twice, signed more than once: $signed_twice, wrong creator: $wrong_creator"
[[ $files -eq 2000 && $claimed -eq 2000 && $twice -eq 0 && $signed_twice -eq 0 && $wrong_creator -eq 0 ]]
