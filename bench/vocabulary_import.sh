#!/usr/bin/env bash
# Cost of importing vocabulary with parlanto-subject import.
#   bench/vocabulary_import.sh [BUILD_DIR]        (default: build)
# 1. An Anki text export of 2,000 Italian-English notes without sounds: every phrase is
#    spoken by espeak-ng, 200 subjects written and checked. Prints wall and CPU time and
#    the peak memory; target: under 10 s of wall time.
# 2. The same 2,000 phrases spoken by the espeak-ng program alone in one run (what the
#    speaking costs without the import, for a machine where the target is missed).
# 3. A 100 MB Anki package (100 notes, the rest media the notes do not use, which does not
#    compress) and a 100 MB KVTML file (refused by its size): peak memory; target: under
#    200 MB. The package is read entry by entry, never whole.
# 4. The same 2,000 notes in an Anki package of the newest layout (collection and media list
#    compressed with zstd by the zstd program): wall and CPU time, peak memory; target: under
#    10 s, as the text export.
# The time to first progress in the import window is BenchImportWindow's (bench/subjects).
# Exits 1 when a target is missed. The tool's CPU time includes espeak-ng's, which runs
# inside it; on a machine shared with other work the wall time is the one to distrust.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
tool="$build/bin/parlanto-subject"
[ -x "$tool" ] || { echo "no $tool: build the parlanto-subject target first" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Runs a command; prints "wall user+sys peakMB" (the peak of the largest process waited for).
measure() {
    python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
r = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
wall = time.monotonic() - start
u = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.2f %.2f %.1f %d" % (wall, u.ru_utime + u.ru_stime, u.ru_maxrss / 1024.0, r.returncode))
PY
}

python3 - "$work" <<'PY'
import json, sys
work = sys.argv[1]
with open(work + "/notes.txt", "w", encoding="utf-8") as f:
    f.write("#separator:tab\n#html:true\n#columns:Italian\tEnglish\n#deck:Benchmark\n")
    for i in range(2000):
        f.write("la frase numero %d è breve\tsentence number %d is short\n" % (i, i))
with open(work + "/phrases.txt", "w", encoding="utf-8") as f:
    for i in range(2000):
        f.write("la frase numero %d è breve.\n" % i)
recipe = {"out": work + "/big.apkg", "deck": "Grande", "fields": ["Italian", "English"],
        "notes": [["parola %d" % i, "word %d" % i] for i in range(100)], "padding": 100 * 1024 * 1024}
json.dump(recipe, open(work + "/recipe.json", "w"))
newest = {"out": work + "/newest.apkg", "newestLayout": True, "deck": "Benchmark",
          "fields": ["Italian", "English"],
          "notes": [["la frase numero %d è breve" % i, "sentence number %d is short" % i] for i in range(2000)]}
json.dump(newest, open(work + "/newest.json", "w"))
PY
python3 "$root/tests/tools/make_anki.py" "$work/recipe.json"
python3 "$root/tests/tools/make_anki.py" "$work/newest.json"
python3 -c "
import sys
with open(sys.argv[1], 'wb') as f:
    f.write(b'<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml version=\"2.0\">\n')
    f.truncate(100 * 1024 * 1024)" "$work/big.kvtml"

failed=0
read -r wall cpu peak rc < <(measure "$tool" import "$work/notes.txt" --edition prlita --out "$work/out1")
[ "$rc" = 0 ] || { echo "the import of 2,000 notes failed" >&2; exit 1; }
echo "2,000 notes without sounds: ${wall} s wall, ${cpu} s CPU, peak ${peak} MB (target: under 10 s)"
awk "BEGIN { exit !($wall >= 10) }" && failed=1
read -r wall cpu peak rc < <(measure espeak-ng -v it -w "$work/all.wav" -f "$work/phrases.txt")
echo "  espeak-ng alone on the same 2,000 phrases: ${wall} s wall, ${cpu} s CPU"
read -r wall cpu peak rc < <(measure "$tool" import "$work/big.apkg" --edition prlita --out "$work/out2")
[ "$rc" = 0 ] || { echo "the import of the 100 MB package failed" >&2; exit 1; }
echo "100 MB Anki package (100 notes): ${wall} s wall, peak ${peak} MB (target: under 200 MB)"
awk "BEGIN { exit !($peak >= 200) }" && failed=1
read -r wall cpu peak rc < <(measure "$tool" import "$work/big.kvtml" --edition prlita --out "$work/out3")
echo "100 MB KVTML file (refused by its size): ${wall} s wall, peak ${peak} MB (target: under 200 MB)"
awk "BEGIN { exit !($peak >= 200) }" && failed=1
read -r wall cpu peak rc < <(measure "$tool" import "$work/newest.apkg" --edition prlita --out "$work/out4")
[ "$rc" = 0 ] || { echo "the import of the newest-layout package failed" >&2; exit 1; }
echo "2,000 notes in a newest-layout package: ${wall} s wall, ${cpu} s CPU, peak ${peak} MB (target: under 10 s)"
awk "BEGIN { exit !($wall >= 10) }" && failed=1
exit $failed
