#!/usr/bin/env bash
# Builds the fuzz targets of the adapters with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, straight from the computing core and adapter sources (no JNI).
# Usage: fuzz/build.sh OUTPUT_DIR [TARGET...]   (default: every fuzz/*_fuzz.cpp)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "$1" && cd "$1" && pwd)"
shift
CXX="${CXX_FUZZ:-clang++}"
common=(-std=c++20 -g -O1 -fno-omit-frame-pointer -ffp-contract=off -fno-fast-math
        -fsanitize=address,undefined -fno-sanitize-recover=all
        -I"$root" -I"$root/include" -DTOVALIN_BUILDING_LIBRARY)

if (($#)); then targets=("$@"); else
  targets=()
  for f in "$root"/fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" _fuzz.cpp)"); done
fi

# The library objects, compiled once for every target (two at a time).
mkdir -p "$out/obj"
sources=("$root"/hydro/messages/*.cpp "$root"/hydro/hydraulics/*.cpp "$root"/hydro/routing/*.cpp
         "$root"/native/adapters_*.cpp "$root"/fuzz/fuzz_support.cpp)
compile() {
  local src="$1" obj="$2" flags=(-Wall -Wextra)
  [[ "$src" == */fuzz/* ]] && flags+=(-Werror)
  if [[ ! -f "$obj" || "$src" -nt "$obj" ]]; then
    "$CXX" "${common[@]}" "${flags[@]}" -fsanitize=fuzzer-no-link -c "$src" -o "$obj"
  fi
}
export -f compile
export CXX
objects=()
pairs=()
for src in "${sources[@]}"; do
  [[ -f "$src" ]] || continue
  rel="${src#"$root"/}"
  obj="$out/obj/${rel//\//_}.o"
  objects+=("$obj")
  pairs+=("$src" "$obj")
done
printf '%s\0' "${pairs[@]}" |
  COMMON="${common[*]}" xargs -0 -n2 -P2 bash -c 'common=($COMMON); compile "$0" "$1"'

for t in "${targets[@]}"; do
  "$CXX" "${common[@]}" -Wall -Wextra -Werror -fsanitize=fuzzer \
    "$root/fuzz/${t}_fuzz.cpp" "${objects[@]}" -o "$out/${t}_fuzz"
done
echo "fuzz targets in $out: ${targets[*]}"
