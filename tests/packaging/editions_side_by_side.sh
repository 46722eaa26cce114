#!/bin/sh
# editions_side_by_side.sh SOURCE_DIR BUILD_DIR WORK_DIR EDITION TITLE OTHER OTHER_TITLE CMAKE GENERATOR BUILD_TYPE CXX [LAUNCHER]
# Two editions installed under one prefix: the build's own and another one, built here in a
# build folder of its own (the programs and their data only: no tests, no benchmarks; later
# runs build only what changed). No file of one installation is a file of the other, each
# command says its own edition, and each program works from its own program folder.
set -eu
source=$1 build=$2 work=$3 edition=$4 title=$5 other=$6 other_title=$7
cmake=$8 generator=$9
shift 9
build_type=$1 cxx=$2 launcher=${3:-}

second="$work/build-$other"
mkdir -p "$work"
start=$(date +%s)
if [ ! -f "$second/CMakeCache.txt" ]; then
    "$cmake" -S "$source" -B "$second" -G "$generator" -DCMAKE_BUILD_TYPE="$build_type" \
        -DCMAKE_CXX_COMPILER="$cxx" ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher"} \
        -DPARLANTO_EDITION="$other" -DPARLANTO_BUILD_TESTS=OFF -DPARLANTO_BUILD_BENCHMARKS=OFF \
        >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
fi
"$cmake" --build "$second" >"$work/build.log" 2>&1 || { tail -n 60 "$work/build.log"; exit 1; }
echo "the $other edition built in $(($(date +%s) - start)) s"

command_of() { if [ "$1" = prlita ]; then echo parlanto; else echo "parlanto-$1"; fi; }

# Each alone, then both into one prefix.
rm -rf "$work/alone" "$work/together"
for b in "$build" "$second"; do
    code=$(sed -n 's/^PARLANTO_EDITION:STRING=//p' "$b/CMakeCache.txt")
    "$cmake" --install "$b" --prefix "$work/alone/$code" >/dev/null
    (cd "$work/alone/$code" && find . ! -type d | sort) >"$work/files-$code"
    "$cmake" --install "$b" --prefix "$work/together" >/dev/null
done
common=$(comm -12 "$work/files-$edition" "$work/files-$other")
[ -z "$common" ] || { echo "both editions install these files:"; echo "$common"; exit 1; }
total=$(cat "$work/files-$edition" "$work/files-$other" | wc -l)
[ "$(cd "$work/together" && find . ! -type d | wc -l)" -eq "$total" ] ||
    { echo "the shared prefix does not hold the $total files of both editions"; exit 1; }
echo "$total files, none shared"

# Each command says its own edition; each program, given a subject file of its own course,
# checks it and copies it into its own learner's subjects folder, whose name (caption 10 of
# the template in its program folder) and place (its title) are its edition's.
home="$work/home"
rm -rf "$home"
mkdir -p "$home/.config/Parlanto" "$home/runtime"
chmod 700 "$home/runtime"
for e in "$edition" "$other"; do
    cmd=$(command_of "$e")
    [ "$e" = "$edition" ] && t=$title || t=$other_title
    "$work/together/bin/$cmd" --version | tee "$work/version-$e"
    grep -q "^$t ($e) " "$work/version-$e" || { echo "$cmd --version does not name $t ($e)"; exit 1; }
    "$work/together/bin/parlanto-subject${cmd#parlanto}" --version | grep -q "edition $e " ||
        { echo "parlanto-subject${cmd#parlanto} --version does not name $e"; exit 1; }
    # The results export reads the users database of its own edition's data folder.
    env -u XDG_DATA_HOME HOME="$home" "$work/together/bin/parlanto-results${cmd#parlanto}" --help |
        grep -qF "$home/.local/share/$t/Users.dat" ||
        { echo "parlanto-results${cmd#parlanto} --help does not name the users database of $t"; exit 1; }

    program_dir="$work/together/lib/$cmd"
    shipped=$(find "$program_dir" -name "*.$(echo "$e" | cut -c4-6)" | sort | head -n 1)
    [ -n "$shipped" ] || { echo "$program_dir holds no subject"; exit 1; }
    expected="$home/.local/share/$t/$(basename "$(dirname "$shipped")")/$(basename "$shipped")"
    printf '[General]\nCheckForUpdates=false\n' >"$home/.config/Parlanto/$e.conf"
    env -u DISPLAY -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$home/runtime" \
        QT_QPA_PLATFORM=offscreen "$work/together/bin/$cmd" "$shipped" >"$work/run-$e.log" 2>&1 &
    pid=$!
    i=0
    while [ ! -f "$expected" ] && [ $i -lt 600 ] && kill -0 "$pid" 2>/dev/null; do
        sleep 0.1
        i=$((i + 1))
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    cmp -s "$shipped" "$expected" ||
        { echo "$cmd did not add $shipped as $expected:"; find "$home/.local" -type f; cat "$work/run-$e.log"; exit 1; }
    echo "$cmd: its own program folder, its subject added as $expected"
done
echo "the $edition and $other editions live side by side"
