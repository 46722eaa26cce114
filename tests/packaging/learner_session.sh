#!/bin/sh
# learner_session.sh COMMAND PROGRAM_DIR EDITION TITLE WORK_DIR
# An installed copy used by an unprivileged learner, from the keyboard only: a subject copied
# into the learner's own subjects folder is listed, studied with the Flashcards activity and
# recorded, and nothing is written into the (root-owned) installation. Run as root by
# debian_package.sh while the package is installed; the learner is a user id of no account,
# with a fresh home of its own that is removed afterwards.
set -eu
command=$1 program_dir=$2 edition=$3 title=$4 work=$5
code=$(echo "$edition" | cut -c4-6)

for tool in setpriv xvfb-run xdotool sqlcipher timeout; do
    command -v "$tool" >/dev/null || { echo "SKIPPED learner session: $tool is not installed (scripts/setup installs it)"; exit 0; }
done
[ "$(stat -c %u "$program_dir")" -eq 0 ] || { echo "$program_dir is not owned by root"; exit 1; }

# A user id with no account and no files on this machine.
uid=61234
while getent passwd "$uid" >/dev/null || getent group "$uid" >/dev/null; do uid=$((uid + 1)); done
home=$(mktemp -d /tmp/parlanto-learner.XXXXXX)
learner_pid=""
finish() {
    [ -z "$learner_pid" ] || kill "$learner_pid" 2>/dev/null || true
    rm -rf "$home"
}
trap finish EXIT

# The learner's own subjects folder has the name of the installed one (caption 10).
shipped=$(find "$program_dir" -name "*.$code" | sort | head -n 1)
[ -n "$shipped" ] || { echo "no installed subject in $program_dir"; exit 1; }
subjects_folder=$(basename "$(dirname "$shipped")")
own="$home/.local/share/$title/$subjects_folder"
mkdir -p "$own" "$home/.config/Parlanto" "$home/runtime"
copy_name="Xtra_Learners_Copy"
cp "$shipped" "$own/$copy_name.$code"
phrases=$("$(dirname "$command")/parlanto-subject${command##*/parlanto}" list "$shipped" | grep -c '^[0-9]')
printf '[General]\nCheckForUpdates=false\n' >"$home/.config/Parlanto/$edition.conf"
chown -R "$uid:$uid" "$home"
chmod 700 "$home/runtime"

# What the installation holds before the session (names, sizes, times, modes).
snapshot() { find "$program_dir" "$command" -printf '%p %s %T@ %m\n' | sort; }
snapshot >"$work/prefix-before"

echo "learner $uid studies $copy_name.$code ($phrases phrases, a copy of $shipped)"
# The session, as the learner would go through it, under the learner's own display.
driver='
set -u
command=$1 title=$2 phrases=$3 log=$4
fail() { echo "learner session: $*" >&2; xdotool search --name "" getwindowname %@ >&2 2>/dev/null; exit 1; }
window() { # the visible window whose whole title is $1, waited for up to 60 s
    timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}
other() { # a visible window that is none of the given ones, waited for up to 60 s
    i=0
    while [ $i -lt 600 ]; do
        for w in $(xdotool search --onlyvisible --name "." 2>/dev/null); do
            echo " $* " | grep -q " $w " || { echo "$w"; return; }
        done
        sleep 0.1
        i=$((i + 1))
    done
}
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || fail "cannot give the keyboard to window $1"; }
gone() { # waits up to 60 s for window $1 to go
    i=0
    while xdotool getwindowname "$1" >/dev/null 2>&1 && xdotool search --onlyvisible --name "" 2>/dev/null | grep -qx "$1"; do
        [ $i -lt 600 ] || fail "window $1 did not close"
        sleep 0.1
        i=$((i + 1))
    done
}
"$command" >"$log" 2>&1 &
echo $! >"$HOME/program.pid"

login=$(window ".+ $title") # "Log in to" and the title, in the interface language
[ -n "$login" ] || fail "no login window"
focus "$login"
# The list of learners is empty and has the focus; Tab goes to "Log in", then "New learner".
xdotool key Tab Tab space
profile=$(other "$login")
[ -n "$profile" ] || fail "no profile window"
focus "$profile"
xdotool type --delay 20 "Ada"
xdotool key Tab
xdotool type --delay 20 "Lovelace"
xdotool key Return
# The first learner is the administrator: a message says so, Enter closes it.
message=$(window "$title")
[ -n "$message" ] || fail "no message about the administrator"
focus "$message"
xdotool key Return
gone "$message"
gone "$profile"
# Back in the login window the new learner is chosen: Enter logs in.
focus "$login"
xdotool key Return
gone "$login"
main=$(window "$title .*")
[ -n "$main" ] || fail "no main window"
focus "$main"
# The tree has the focus: the first folder holds the installed subjects; open it, find the
# copy by typing the first letter of its title (no other subject starts with it), choose it
# with Enter, then Tab to the second activity (in the order of their names: Dictation,
# Flashcards, ...). The program handles each key before the next.
xdotool key Home Right x Return Tab Tab space
cards=$(other "$main")
[ -n "$cards" ] || fail "the activity did not open"
name=$(xdotool getwindowname "$cards")
echo "activity window: $name"
case "$name" in "Flashcards - "* | "Tarjetas - "*) ;; *) fail "not the Flashcards window: $name" ;; esac
focus "$cards"
# Each card: Enter shows the translation, K says it was known. Then Enter closes.
n=0
while [ $n -lt "$phrases" ]; do
    xdotool key Return k
    n=$((n + 1))
done
xdotool key Return
gone "$cards"
echo "studied $n cards"
# The learner is done: the program ends as it does when the session ends (SIGTERM).
pid=$(cat "$HOME/program.pid")
kill -TERM "$pid"
i=0
while kill -0 "$pid" 2>/dev/null; do
    [ $i -lt 300 ] || fail "the program did not end on SIGTERM"
    sleep 0.1
    i=$((i + 1))
done
wait "$pid" || fail "the program ended with status $?"
'
set +e
timeout 300 setpriv --reuid="$uid" --regid="$uid" --clear-groups \
    env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/runtime" LANG=C.UTF-8 \
    xvfb-run -a -s "-screen 0 1280x1024x24" sh -c "$driver" sh "$command" "$title" "$phrases" "$home/program.log"
status=$?
set -e
[ ! -f "$home/program.pid" ] || learner_pid=$(cat "$home/program.pid")
[ "$status" -eq 0 ] || { echo "the learner's session failed (status $status); the program said:"; cat "$home/program.log" 2>/dev/null; exit 1; }

# As root: the learner's users database has the score of the studied copy.
users=$(find "$home/.local/share" -name Users.dat | head -n 1)
[ -n "$users" ] || { echo "no users database under the learner's home"; find "$home"; exit 1; }
case "$users" in "$home/.local/share/$title/"*) ;; *) echo "users database in the wrong place: $users"; exit 1 ;; esac
scores=$(printf "PRAGMA key = 'qrv6180';\nPRAGMA kdf_iter = 64;\n.mode list\nSELECT tName, tActivity, tSubject, textScore FROM tblscores;\n" |
    sqlcipher -batch "$users" | grep '|' || true)
echo "scores: $scores"
echo "$scores" | grep -qx "Ada Lovelace|Flashcards|Xtra Learners Copy|$phrases/$phrases (100%)" ||
    { echo "no score of Ada Lovelace for Xtra Learners Copy in $users"; exit 1; }
# The results export on the PATH, run by the learner without --database, finds that database.
results=$(setpriv --reuid="$uid" --regid="$uid" --clear-groups env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 \
    "$(dirname "$command")/parlanto-results${command##*/parlanto}" export -)
echo "$results" | grep -q "^Ada Lovelace,Flashcards,Xtra Learners Copy,$phrases/$phrases (100%),100," ||
    { echo "the learner's results export misses the score:"; echo "$results"; exit 1; }

snapshot >"$work/prefix-after"
diff "$work/prefix-before" "$work/prefix-after" || { echo "the session changed the installation"; exit 1; }
[ -z "$(find "$program_dir" -user "$uid")" ] || { echo "files of the learner in $program_dir"; exit 1; }
echo "learner session: listed, studied and recorded; the installation unchanged"
