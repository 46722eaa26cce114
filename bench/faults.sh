#!/usr/bin/env bash
# Faults while the program writes: kill -9 at random moments, and a full disk.
#   bench/faults.sh [BUILD_DIR] [KILLS]        (defaults: build, 50)
# Kills an activity appending its results KILLS times, the launcher's profile saving and the
# virtual subject writing half as often each; after every kill the database must pass
# PRAGMA integrity_check and hold every row whose write was reported finished; a virtual
# subject file is read first with the program's own read-only reader, as at the next start
# (the sqlcipher shell rolls a journal back silently). Then fills a
# small file system of its own (a tmpfs in a private mount namespace) under the users
# database, a virtual subject file and an atomically replaced file: each write must fail
# with a clear message (the system's reason, never "Unknown error") and leave the previous
# contents intact. Prints the counts; exits 1 on any lost row, damaged database or
# half-written file.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
inside=""
if [ "${1:-}" = "--full-disk-inside" ]; then # the second half, run by the first
    inside="$2"
    shift 2
fi
build="$(cd "${1:-$root/build}" && pwd)"
kills="${2:-50}"
writer="$build/bench/faults/fault_writer"
template="$build/program/Parlanto.tpl"
USERS_KEY=qrv6180
SUBJECT_KEY=tamarind9051
for f in "$writer" "$template"; do
    [ -e "$f" ] || { echo "missing $f: build first (./test or cmake --build $build)" >&2; exit 2; }
done

# q FILE KEY SQL: one value from the database, as the sqlcipher shell prints it.
q() { printf "PRAGMA key = '%s';\nPRAGMA kdf_iter = 64;\n%s\n" "$2" "$3" | sqlcipher -bail "$1" 2>&1 | tail -1; }
# A users database as the program makes it: the template's copy, in WAL mode.
new_users() { cp "$template" "$1"; chmod u+w "$1"; q "$1" "$USERS_KEY" "PRAGMA journal_mode = WAL;" >/dev/null; }

# ------------------------------------------------------------------ the full disk, inside
if [ -n "$inside" ]; then
    work="$inside"
    disk="$work/disk"
    mkdir -p "$disk"
    mount -t tmpfs -o size=2m tmpfs "$disk"
    new_users "$disk/Users.dat"
    "$writer" virtual "$disk/Mine.vita" 3 before >/dev/null
    printf 'the previous contents\n' >"$disk/input.txt"
    before_files=$(ls -A "$disk" | sort | tr '\n' ' ')
    before_input=$(sha256sum <"$disk/input.txt")
    failures=0
    for mode in profiles virtual file; do
        # The disk all but full: a few writes still fit, then one does not.
        free=$(df --output=avail -B1 "$disk" | tail -1)
        head -c $((free > 200000 ? free - 200000 : 0)) /dev/zero >"$disk/filler" 2>/dev/null || true
        case $mode in
            profiles) out=$("$writer" profiles "$disk/Users.dat" 100000 full || true) ;;
            virtual) out=$("$writer" virtual "$disk/Mine.vita" 100000 full || true) ;;
            file) out=$("$writer" file "$disk/input.txt" 1000000 || true) ;;
        esac
        message=$(grep '^error' <<<"$out" | head -1 | cut -c7-)
        reported=$(grep -c '^ok' <<<"$out" || true)
        rm -f "$disk/filler" # room again to look at what the failed write left
        case $mode in
            profiles) db="$disk/Users.dat" key=$USERS_KEY sql="SELECT count(*) FROM tblUsers WHERE tFirstname = 'full';" ;;
            virtual) db="$disk/Mine.vita" key=$SUBJECT_KEY sql="SELECT count(*) FROM tblParents WHERE tParentName LIKE 'full%';" ;;
            file) db="" ;;
        esac
        if [ -n "$db" ]; then
            present=$(q "$db" "$key" "$sql")
            integrity=$(q "$db" "$key" "PRAGMA integrity_check;")
        else
            present=$reported
            integrity=$([ "$(sha256sum <"$disk/input.txt")" = "$before_input" ] && echo ok || echo changed)
        fi
        printf '  %-8s writes before the disk was full: %s; message: %s; file: %s\n' \
            "$mode" "$reported" "${message:-none}" "$integrity"
        if [ -z "$message" ] || [[ $message == *"Unknown error"* ]] || [ "$integrity" != ok ] || [ "${present:-0}" -lt "$reported" ]; then
            failures=$((failures + 1))
        fi
    done
    after_files=$(ls -A "$disk" | sort | tr '\n' ' ')
    # WAL and shared-memory files beside a database come and go; nothing else may appear.
    strip() { tr ' ' '\n' | grep -v -e '-wal$' -e '-shm$' -e '-journal$' | tr '\n' ' '; }
    if [ "$(strip <<<"$before_files")" != "$(strip <<<"$after_files")" ]; then
        echo "  files left behind: $after_files"
        failures=$((failures + 1))
    fi
    echo "full-disk failures: $failures"
    exit $((failures > 0))
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
seed="${PARLANTO_FAULT_SEED:-$RANDOM}"
RANDOM=$seed
echo "Faults (seed $seed): $kills kills of an activity appending results, $((kills / 2)) of profile saves, $((kills / 2)) of virtual subject writes"

users="$work/Users.dat"
virtual="$work/Mine.vita"
new_users "$users"
total_kills=0 reported_total=0 lost=0 damaged=0 half=0

round() { # round MODE N
    local mode="$1" n="$2" out="$work/out" pid reported present integrity
    local file="$users" key=$USERS_KEY
    [ "$mode" = virtual ] && file="$virtual" key=$SUBJECT_KEY
    "$writer" "$mode" "$file" 1000000 "r$n-" >"$out" 2>&1 &
    pid=$!
    # 50 to 1,050 ms: from before the first write to deep in the run.
    sleep "$(printf '0.%03d' $((RANDOM % 1000)))"
    sleep "0.05"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    total_kills=$((total_kills + 1))
    reported=$(grep -c '^ok' "$out" || true)
    if grep -q '^error' "$out"; then
        echo "  $mode round $n: a write failed before the kill: $(grep '^error' "$out" | head -1)"
        damaged=$((damaged + 1))
    fi
    case $mode in
        scores) present=$(q "$file" "$key" "SELECT count(*) FROM tblscores WHERE tName = 'r$n-';") ;;
        profiles) present=$(q "$file" "$key" "SELECT count(*) FROM tblUsers WHERE tFirstname = 'r$n-';") ;;
        virtual)
            # First with the program's own read-only reader, as the tree reads the file at the
            # next start: the sqlcipher shell would roll a journal back without a word.
            local read
            read=$("$writer" read "$file" 0 "r$n-" 2>&1 || true)
            if [[ $read != subjects* ]]; then
                echo "  $mode round $n: the program cannot read the file: $read"
                damaged=$((damaged + 1))
            elif [ "${read#subjects }" -lt "$reported" ]; then
                echo "  $mode round $n: the program reads ${read#subjects } of $reported subjects"
                lost=$((lost + reported - ${read#subjects }))
            fi
            present=$(q "$file" "$key" "SELECT count(*) FROM tblParents WHERE tParentName LIKE 'r$n-%';")
            # Phrases go in one transaction: a subject has all three or none.
            local partial
            partial=$(q "$file" "$key" "SELECT count(*) FROM tblParents p WHERE tParentName LIKE 'r$n-%' AND (SELECT count(*) FROM tblPhrases WHERE fkParent = p.nParent) NOT IN (0, 3);")
            half=$((half + ${partial:-1}))
            ;;
    esac
    integrity=$(q "$file" "$key" "PRAGMA integrity_check;")
    [ "$integrity" = ok ] || { echo "  $mode round $n: integrity_check: $integrity"; damaged=$((damaged + 1)); }
    present=${present:-0}
    reported_total=$((reported_total + reported))
    if [ "$present" -lt "$reported" ]; then
        echo "  $mode round $n: $reported reported, $present present"
        lost=$((lost + reported - present))
    fi
}

for ((n = 1; n <= kills; n++)); do round scores "$n"; done
for ((n = 1; n <= kills / 2; n++)); do round profiles "$n"; done
for ((n = 1; n <= kills / 2; n++)); do round virtual "$n"; done

echo "kills: $total_kills"
echo "writes reported finished: $reported_total"
echo "rows lost: $lost"
echo "databases failing integrity_check or writes failing: $damaged"
echo "virtual subjects half written: $half"

echo "Full disk (a 2 MB file system of its own):"
full=0
if unshare --help 2>/dev/null | grep -q -- --map-root-user; then
    unshare --map-root-user --mount "$0" --full-disk-inside "$work" "$build" || full=1
else
    echo "  skipped: unshare is missing"
fi

[ "$lost" -eq 0 ] && [ "$damaged" -eq 0 ] && [ "$half" -eq 0 ] && [ "$full" -eq 0 ]
