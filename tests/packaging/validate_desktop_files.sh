#!/bin/sh
# validate_desktop_files.sh DESKTOP METAINFO MIME-XML EDITION
set -eu
desktop=$1 metainfo=$2 mime=$3 edition=$4
for tool in desktop-file-validate appstreamcli update-mime-database; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed (scripts/setup installs it)"; exit 77; }
done
desktop-file-validate "$desktop"
appstreamcli validate --no-net --pedantic "$metainfo"
# The file types: the shared database accepts the definition and maps both extensions.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/mime/packages"
cp "$mime" "$work/mime/packages/"
XDG_DATA_HOME="$work" update-mime-database "$work/mime" 2>&1 | tee "$work/log"
if [ -s "$work/log" ]; then echo "update-mime-database complained"; exit 1; fi
code=$(echo "$edition" | cut -c4-6)
grep -q "application/x-parlanto-subject-$code:\*\.$code\$" "$work/mime/globs" || { cat "$work/mime/globs"; exit 1; }
grep -q "application/x-parlanto-virtual-subject-$code:\*\.v$code\$" "$work/mime/globs" || exit 1
grep -q "application/x-kvtml:\*\.kvtml\$" "$work/mime/globs" || exit 1
grep -q "application/x-apkg:\*\.apkg\$" "$work/mime/globs" || exit 1
# The entry opens files of both types, and the vocabularies it imports, with the file name
# on the command line.
grep -q "^MimeType=application/x-parlanto-subject-$code;application/x-parlanto-virtual-subject-$code;application/x-kvtml;application/x-apkg;text/tab-separated-values;text/csv;\$" "$desktop"
grep -q '^Exec=parlanto[^ ]* %f$' "$desktop"
echo "desktop entry, metainfo and file types valid"
