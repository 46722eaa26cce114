#!/bin/sh
# Fetches the KVTML files other programs made, from Debian's kwordquiz (its examples) and
# kdeedu-kvtml-data (one-language word lists) packages, into the folder given: downloaded
# and unpacked, never installed, never committed. Run once by the tests' set-up; a folder
# filled before is kept. Exits with 0 even when the download fails: the tests that need
# the files say why they skip.
set -u
dest="$1"
[ -f "$dest/.complete" ] && exit 0
rm -rf "$dest" && mkdir -p "$dest/debs" || exit 0
cd "$dest/debs" || exit 0
if ! apt-get download kwordquiz kdeedu-kvtml-data >download.log 2>&1; then
    echo "apt-get download failed: $(tail -1 download.log)" >"$dest/failed"
    exit 0
fi
for deb in ./*.deb; do
    dpkg -x "$deb" "$dest/root" || { echo "dpkg -x $deb failed" >"$dest/failed"; exit 0; }
done
rm -f ./*.deb
touch "$dest/.complete"
