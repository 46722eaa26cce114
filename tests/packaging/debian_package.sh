#!/bin/sh
# debian_package.sh BUILD_DIR WORK_DIR PACKAGE COMMAND SUBJECT_COMMAND APP_ID EDITION TITLE
# Builds the Debian package of the build with CPack, installs it with apt-get, uses the
# installed programs as a person would (also opening a subject file the way a file manager
# does, and an unprivileged learner's whole session, under Xvfb) and removes the package
# again. The package passes Debian's checker (lintian: no error, warning or information
# without an override) and its programs have Debian's hardening. Needs root: skipped otherwise.
set -eu
build=$1 work=$2 package=$3 command=$4 subject_command=$5 app_id=$6 edition=$7 title=$8
code=$(echo "$edition" | cut -c4-6)
results_command="parlanto-results${command#parlanto}"

skip() { echo "SKIPPED: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root (CI runs this test as root)"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
case "$build_type" in Release | RelWithDebInfo | MinSizeRel) ;;
*) skip "a $build_type build is no release build: packages are made from optimised, hardened builds" ;;
esac
for tool in apt-get dpkg-deb dpkg-shlibdeps cpack file lintian hardening-check man; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup installs it)"
done
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    skip "$package is already installed on this machine; the test does not replace it"
fi
[ ! -e "/usr/bin/$command" ] || skip "/usr/bin/$command exists already; the test does not replace it"

rm -rf "$work"
mkdir -p "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/"$package"_*.deb)
echo "built $deb"

# Dependencies found by dpkg-shlibdeps, and stripped programs.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
echo "$depends" | grep -q "libqt6widgets6" || { echo "shlibdeps did not run"; exit 1; }
echo "$depends" | grep -q "libsqlcipher" || { echo "libsqlcipher missing from Depends"; exit 1; }
dpkg-deb -x "$deb" "$work/contents"
unstripped=$(find "$work/contents" -type f -exec file {} + | grep ELF | grep "not stripped" || true)
[ -z "$unstripped" ] || { echo "not stripped: $unstripped"; exit 1; }
# The program's manual in both interface languages, with the title its help window shows.
for page in "getting-started.en.html:<title>Getting started</title>" "getting-started.es.html:<title>Primeros pasos</title>"; do
    file="$work/contents/usr/lib/parlanto${command#parlanto}/Help/${page%%:*}"
    grep -q "${page#*:}" "$file" || { echo "the help page $file is missing or has no title"; exit 1; }
done

# Debian's checker: every tag it raises, information included, is an intended one, overridden
# with its reason. Its output is read rather than its exit status, which counts overridden
# tags when they are shown.
status=0
lintian --display-info --show-overrides "$deb" >"$work/lintian.log" 2>&1 || status=$?
cat "$work/lintian.log"
[ "$status" -eq 0 ] || [ "$status" -eq 2 ] || { echo "lintian failed (status $status)"; exit 1; }
# The override for the templates' salt is used only when a salt happens to look like gzip.
! grep "^[EWI]: " "$work/lintian.log" | grep -qv "unused-override package-contains-timestamped-gzip" || { echo "lintian: errors, warnings or information without an override"; exit 1; }

apt() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q "$@"; }
player=""
cleanup() {
    [ -z "$player" ] || kill "$player" 2>/dev/null || true
    apt remove --purge "$package" >/dev/null 2>&1 || true
}
trap cleanup EXIT
apt install --no-install-recommends "$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }

# Debian's hardening. Every file of the build was compiled with its flags (so also activities
# added later), and every installed program has what they give. One line of hardening-check
# is not required: control flow marks, which Debian 12's own C start files do not carry (no
# program linked here has them, dpkg included).
for flag in -D_FORTIFY_SOURCE=3 -fstack-protector-strong -Werror=format-security; do
    without=$(grep '"command"' "$build/compile_commands.json" | grep -v -e "$flag " || true)
    [ -z "$without" ] || { echo "compiled without $flag:"; echo "$without"; exit 1; }
done
programs=$(dpkg -L "$package" | while read -r f; do
    if [ -f "$f" ] && [ ! -L "$f" ] && file -b "$f" | grep -q "^ELF"; then echo "$f"; fi
done)
for p in "$command" "$subject_command" "$results_command"; do
    echo "$programs" | grep -q "/${p%%-prl*}\$" || { echo "no program ${p%%-prl*} among: $programs"; exit 1; }
done
echo "$programs" | grep -q "/Activities/" || { echo "no activity among: $programs"; exit 1; }
# shellcheck disable=SC2086 # one program per line, none with a blank
hardening-check --nocfprotection $programs >"$work/hardening" 2>&1 || true
cat "$work/hardening"
missing=$(grep -E "^ [^:]+: no" "$work/hardening" | grep -v -e "(ignored)" || true)
[ -z "$missing" ] || { echo "hardening missing:"; echo "$missing"; exit 1; }
[ "$(grep -c ":\$" "$work/hardening")" -eq "$(echo "$programs" | wc -l)" ] || { echo "hardening-check did not report every program"; exit 1; }

# The commands on PATH work; the shipped subjects pass the tool's check.
"$command" --version | tee "$work/version"
grep -q "($edition) " "$work/version"
for page in "$command" "$subject_command" "$results_command"; do
    [ -f "/usr/share/man/man1/$page.1.gz" ] || { echo "no manual page $page(1)"; exit 1; }
done
# The results export tells where an installed copy keeps the users database, in its help and
# its manual page.
env -u XDG_DATA_HOME HOME="$work/no-home" "$results_command" --help | tee "$work/results-help"
grep -qF "$work/no-home/.local/share/$title/Users.dat" "$work/results-help" ||
    { echo "$results_command --help does not name the users database of an installed copy"; exit 1; }
[ ! -e "$work/no-home" ] || { echo "$results_command --help made folders in the home"; exit 1; }
MANPAGER=cat MANWIDTH=200 man "$results_command" >"$work/results-man" 2>&1 || { cat "$work/results-man"; exit 1; }
# shellcheck disable=SC2088 # the page writes the home folder as ~
grep -qF "~/.local/share/$title/Users.dat" "$work/results-man" ||
    { cat "$work/results-man"; echo "man $results_command does not name the users database"; exit 1; }
subject=$(dpkg -L "$package" | grep "\.$code\$" | grep -v "/share/" | head -n 1)
[ -n "$subject" ] || { echo "the package ships no subject"; exit 1; }
"$subject_command" check "$subject" | tee "$work/check"
grep -q ": VALID\$" "$work/check"
[ -f "/usr/lib/parlanto${command#parlanto}/.installed" ]

# A subject file opened from a file manager: the desktop entry's Exec line, run by gio.
if command -v gio >/dev/null && command -v xvfb-run >/dev/null; then
    home="$work/home"
    mkdir -p "$home/.config/Parlanto" "$home/.local/share" "$home/runtime"
    chmod 700 "$home/runtime"
    printf '[General]\nCheckForUpdates=false\n' >"$home/.config/Parlanto/$edition.conf"
    opened="$work/Opened_From_Files.$code"
    cp "$subject" "$opened"
    [ "$(HOME=$home XDG_DATA_HOME=$home/.local/share gio info -a standard::content-type "$opened" |
        sed -n 's/.*standard::content-type: //p')" = "application/x-parlanto-subject-$code" ] ||
        { echo "the file type of $opened is not the edition's"; exit 1; }
    env -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME HOME="$home" XDG_DATA_HOME="$home/.local/share" \
        XDG_RUNTIME_DIR="$home/runtime" xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
        gio open "$1" || exit 1
        i=0
        while [ $i -lt 120 ]; do
            [ -n "$(find "$2" -name "Opened_From_Files.*" -path "*/.local/share/*")" ] && exit 0
            sleep 1
            i=$((i + 1))
        done
        exit 1' sh "$opened" "$home" || { echo "opening $opened did not add it to the learner's subjects"; exit 1; }
    added=$(find "$home/.local/share" -name "Opened_From_Files.$code")
    echo "added: $added"
    cmp "$added" "$subject"
    # The program ends with its display; one still running with this home is stopped by its id.
    for p in $(ls /proc | grep '^[0-9]*$'); do
        if tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qx "HOME=$home"; then
            player=$p
            kill "$p" 2>/dev/null || true
        fi
    done
    player=""
else
    echo "gio or xvfb-run missing: opening from a file manager not tried"
fi

# A learner without rights on the installation adds a subject of their own and studies it.
sh "$(dirname "$0")/learner_session.sh" "/usr/bin/$command" "/usr/lib/parlanto${command#parlanto}" "$edition" "$title" "$work"

apt remove --purge "$package" >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; exit 1; }
trap - EXIT
for c in "$command" "$subject_command" "$results_command"; do
    [ ! -e "/usr/bin/$c" ] || { echo "/usr/bin/$c left behind"; exit 1; }
done
[ ! -e "/usr/lib/parlanto${command#parlanto}" ] || { echo "program folder left behind"; exit 1; }
[ ! -e "/usr/share/applications/$app_id.desktop" ] || { echo "desktop entry left behind"; exit 1; }
echo "package built, installed, used and removed"
