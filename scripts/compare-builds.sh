#!/usr/bin/env bash
# Compares two builds of a Windows program byte for byte: exits 0 when they are identical; otherwise
# says how many bytes differ and, for the first 20, their offset, both values and where in the PE file
# they lie (the time stamp, the checksum, a section or the headers), and exits 1.
#
#   bash scripts/compare-builds.sh FIRST SECOND
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: bash scripts/compare-builds.sh FIRST SECOND" >&2; exit 2; }
first=$1 second=$2
for file in "$first" "$second"; do
  [ -f "$file" ] || { echo "compare-builds: no such file: $file" >&2; exit 2; }
done
cmp -s "$first" "$second" && exit 0

objdump=x86_64-w64-mingw32-objdump  # reads 32-bit and 64-bit Windows files alike
pe=$(od -An -tu4 -j 60 -N 4 "$first" | tr -d ' ')  # e_lfanew: where the PE signature starts
# Sections that have bytes in the file: name, size and file offset (hexadecimal).
sections=$("$objdump" -h "$first" 2>/dev/null | awk '$1 ~ /^[0-9]+$/ && $6 !~ /^0+$/ { print $2, $3, $6 }') || true

# where OFFSET: the header field or section of the first file that holds the byte at OFFSET.
where() {
  local offset=$1 name size start
  if [ "$offset" -ge $((pe + 8)) ] && [ "$offset" -lt $((pe + 12)) ]; then echo "PE time stamp"; return; fi
  if [ "$offset" -ge $((pe + 88)) ] && [ "$offset" -lt $((pe + 92)) ]; then echo "PE checksum"; return; fi
  while read -r name size start; do
    if [ -n "$name" ] && [ "$offset" -ge $((16#$start)) ] && [ "$offset" -lt $((16#$start + 16#$size)) ]; then
      echo "section $name"
      return
    fi
  done <<<"$sections"
  echo "headers or beyond the sections"
}

size_first=$(stat -c %s "$first") size_second=$(stat -c %s "$second")
[ "$size_first" = "$size_second" ] || echo "compare-builds: the sizes differ: $size_first and $size_second bytes"
echo "compare-builds: $(cmp -l "$first" "$second" 2>/dev/null | wc -l) byte(s) differ; offset, first, second, where:"
cmp -l "$first" "$second" 2>/dev/null | head -n 20 | while read -r position byte_first byte_second; do
  printf 'compare-builds:   0x%08x  0x%02x  0x%02x  %s\n' $((position - 1)) $((8#$byte_first)) $((8#$byte_second)) \
    "$(where $((position - 1)))"
done
exit 1
