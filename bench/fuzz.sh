#!/usr/bin/env bash
# Runs every fuzz target of the sanitizer build for a while and prints what it did.
#   bench/fuzz.sh [SECONDS] [BUILD_DIR]      (defaults: 60, build-sanitize)
# Build them first: PARLANTO_SANITIZE=1 ./test (or cmake --build build-sanitize). A finding
# is an input that crashed a reader, broke a sanitizer rule or a stated property; libFuzzer
# keeps it in <target>.findings/ beside the target.
# Targets: FuzzActivityInput, FuzzCaptionJoin, FuzzNodeTags, FuzzTables, FuzzUpdateAnswer,
# FuzzWaveHeader, and the readers of other programs' vocabularies and of the per-phrase files:
# FuzzKvtml, FuzzAnkiText, FuzzAnkiPackage, FuzzPhraseIds (the ids file beside an input file)
# and FuzzPhraseMemory (the memory copy kept in the users database).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="${2:-$root/build-sanitize}"
fuzz="$build/fuzz"
[ -d "$fuzz" ] || { echo "no fuzz targets in $fuzz: run PARLANTO_SANITIZE=1 ./test first" >&2; exit 2; }
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0}"
export QT_QPA_PLATFORM=offscreen

total_runs=0 total_findings=0
printf '%-20s %12s %9s\n' target executions findings
for target in "$fuzz"/Fuzz*; do
    [ -x "$target" ] && [ -f "$target" ] || continue
    name="$(basename "$target")"
    findings="$fuzz/$name.findings"
    mkdir -p "$fuzz/$name.corpus" "$findings"
    seeds="$root/tests/fuzz/seeds/$name"
    [ -d "$seeds" ] || seeds=""
    before=$(find "$findings" -type f | wc -l)
    log="$fuzz/$name.log"
    "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
        "$fuzz/$name.corpus" $seeds >"$log" 2>&1 || true
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    found=$(($(find "$findings" -type f | wc -l) - before))
    printf '%-20s %12s %9s\n' "$name" "${runs:-0}" "$found"
    total_runs=$((total_runs + ${runs:-0}))
    total_findings=$((total_findings + found))
done
printf '%-20s %12s %9s\n' total "$total_runs" "$total_findings"
[ "$total_findings" -eq 0 ]
