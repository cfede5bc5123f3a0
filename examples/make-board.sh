#!/usr/bin/env bash
# Regenerates the sample firmware board.hex and its checksum file board.chk from board-data.txt.
# Needs srec_cat (package srecord) and objcopy (package binutils).
set -euo pipefail
cd "$(dirname "$0")"

# The data is placed at 0xF800 so that it runs across the 64 KiB boundary: the file then holds
# an extended linear address record in its middle, as larger firmware does. 32 data bytes a line.
srec_cat board-data.txt -binary -offset 0xF800 \
    -o board.hex -intel -output_block_size=32

# Cross-check with a second tool: the binary of the HEX file must be the data, byte for byte.
check=$(mktemp)
trap 'rm -f "$check"' EXIT
objcopy -I ihex -O binary board.hex "$check"
cmp board-data.txt "$check"

# The device reports the 16-bit sum of all data bytes; the checksum file carries it after a
# 13-character label, in characters 14 to 17 of its text.
sum=$(od -An -v -tu1 board-data.txt | awk '{ for (i = 1; i <= NF; i++) s += $i } END { printf "%04X", s % 65536 }')
printf 'Checksum is: %s\n' "$sum" > board.chk
echo "board.hex: $(wc -l < board.hex) lines, $(wc -c < board-data.txt) data bytes, checksum $sum"
