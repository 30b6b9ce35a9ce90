#!/usr/bin/env bash
# Where the bytes of Velkaro.exe go: links the build's program once more with a link map (unstripped,
# in a temporary folder) and prints the size of the stripped file and of each part, as the map counts
# its sections (code, data, unwind tables, resources). Prints figures; asserts nothing.
# Usage: bench/size_bench.sh [BUILD_DIR], build/mingw-x86_64 by default.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/mingw-x86_64}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
link=$(ninja -C "$build" -t commands bin/Velkaro.exe | tail -n 1 | sed -e 's/^: && //' -e 's/ && :$//' \
  -e 's/ -s / /' -e "s| -o bin/Velkaro.exe | -o $work/Velkaro.exe |")
(cd "$build" && eval "$link -Wl,-Map,$work/Velkaro.map")
echo "$build/bin/Velkaro.exe: $(stat -c %s "$build/bin/Velkaro.exe") bytes"
# Each input section's size is on its line, or on the next when the section's name is long.
awk '
  function hex(text,   i, value) {
    value = 0
    for (i = 3; i <= length(text); i++) value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
    return value
  }
  /^ \.[A-Za-z_][^ ]*$/ { pending = $1; next }
  {
    section = ""
    if ($0 ~ /^ \.[A-Za-z_][^ ]* +0x[0-9a-f]+ +0x[0-9a-f]+ /) { section = $1; size = $3; file = $4 }
    else if (pending != "" && $0 ~ /^ +0x[0-9a-f]+ +0x[0-9a-f]+ /) { section = pending; size = $2; file = $3 }
    pending = ""
    if (section == "" || section ~ /^\.(debug|comment)/) next
    part = "the program'"'"'s own code"
    if (file ~ /libstdc\+\+|libgcc/) part = "C++ runtime (libstdc++, libgcc)"
    else if (file ~ /libmingwex|libmsvcrt|libmingw32|crt2|crtbegin|crtend/) part = "C runtime (mingw, msvcrt)"
    else if (file ~ /libpthread|winpthread/) part = "threads (winpthreads)"
    else if (file ~ /\.res$/) part = "resources"
    else if (file ~ /lib(kernel32|user32|gdi32|shell32|advapi32|comctl32|ole32|oleaut32|uuid|uxtheme|shcore)\.a/) part = "imports"
    bytes[part] += hex(size)
  }
  END { for (part in bytes) printf "  %-34s %7d bytes\n", part, bytes[part] }
' "$work/Velkaro.map" | sort -k1,1
