#!/usr/bin/env bash
# Builds a libFuzzer target with AddressSanitizer and UndefinedBehaviorSanitizer and runs it.
#
#   run_fuzz.sh SECONDS [TARGET_SOURCE SEED_DIR [EXTRA_CLANG_ARGS...]]
#
# Without a target it fuzzes the XML reader (xml/fuzz/xml_fuzz.cpp with the seeds beside it).
# EXTRA_CLANG_ARGS are more sources, include paths or libraries the target needs; the XML
# reader's sources are always compiled in, and the repository root is on the include path.
# A dictionary named like the target (xml_fuzz.dict or xml.dict beside it) is used when present.
# Everything is built and written under $FUZZ_OUT_DIR (default: $TMPDIR/nestora-fuzz/<target>); the
# seeds are copied into a working corpus there, so the repository is never written to.
# Exits non-zero when the target crashes, leaks or trips a sanitizer.
set -euo pipefail

if [[ $# -lt 1 ]]; then
    sed -n '4,12p' "$0" >&2
    exit 2
fi
seconds=$1
repo=$(cd "$(dirname "$0")/../.." && pwd)
target=${2:-$repo/xml/fuzz/xml_fuzz.cpp}
seeds=${3:-$repo/xml/fuzz/seeds}
shift $(( $# < 3 ? $# : 3 ))
name=$(basename "$target" .cpp)
out=${FUZZ_OUT_DIR:-${TMPDIR:-/tmp}/nestora-fuzz/$name}
clangxx=${CLANGXX:-clang++}

mkdir -p "$out/corpus" "$out/artifacts"
cp -n "$seeds"/* "$out/corpus/" 2>/dev/null || true

xml_sources=()
for source in "$repo"/xml/*.cpp; do
    [[ $source == *_test.cpp ]] || xml_sources+=("$source")
done

echo "building $name into $out"
"$clangxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$repo" "$target" "${xml_sources[@]}" "$@" -o "$out/$name"

dict_args=()
for dict in "$(dirname "$target")/$name.dict" "$(dirname "$target")/${name%_fuzz}.dict"; do
    if [[ -f $dict ]]; then
        dict_args=(-dict="$dict")
        break
    fi
done

echo "running $name for $seconds s"
"$out/$name" "${dict_args[@]}" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/artifacts/" \
    "$out/corpus" 2>"$out/fuzz.log" || {
    tail -n 60 "$out/fuzz.log"
    exit 1
}
grep -E "^Done|stat::number_of_executed_units|stat::peak_rss_mb|cov:" "$out/fuzz.log" | tail -n 4
