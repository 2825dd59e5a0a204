#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a few seconds (or the seconds given):
#   tools/fuzz.sh [BUILD_FOLDER] [SECONDS]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build}/fuzz
seconds=${2:-5}
mkdir -p "$out"
flags="-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root/src"

build() {
  name=$1; shift
  clang++ $flags -o "$out/$name" "$@"
}

build terminal-screen "$root/tests/fuzz/TerminalScreenFuzz.cpp" "$root/src/engine/terminal/TerminalScreen.cpp"
build image-reader "$root/tests/fuzz/ImageReaderFuzz.cpp" "$root/src/engine/download/ImageAnalysis.cpp" \
  "$root/src/engine/download/ImageFormat.cpp" "$root/src/engine/download/ImageReader.cpp" \
  "$root/src/engine/download/ImageSource.cpp"

for target in terminal-screen image-reader; do
  corpus="$out/$target-corpus"
  mkdir -p "$corpus"
  "$out/$target" -max_total_time="$seconds" -max_len=4096 -seed=1 -artifact_prefix="$out/$target-" "$corpus" \
    2>"$out/$target.log" || {
    tail -n 40 "$out/$target.log"
    exit 1
  }
  tail -n 1 "$out/$target.log"
done
