#!/usr/bin/env python3
"""Makes Anki packages (.apkg) and text exports the way Anki's documentation describes them,
with nothing but Python's standard library: the tests and the benchmark import these.

    make_anki.py RECIPE.json

RECIPE: {"out": "deck.apkg", "kind": "package" | "text",
         "deck": "Animali", "model": "Basic", "fields": ["Italian", "English"],
         "notes": [["il cane [sound:cane.ogg]", "the dog"], ...],
         "cloze": ["{{c1::cane}} abbaia"],          # notes of a cloze note type
         "media": {"cane.ogg": "/path/to/cane.ogg"}, # package: name -> file to store
         "mediaNames": {"0": "../evil.ogg"},         # package: media map entries as given
         "padding": 0,                               # package: bytes of unused media (size tests)
         "newestLayout": false,                      # package: the newest layout (see below)
         "newestCollection": "zstd",                 # newest layout: "zstd", "no-size" (a frame
                                                     # that does not state its size), "bomb" (a
                                                     # collection padded past 64 MB, no size
                                                     # stated), "claims" (a frame stating 1 GB),
                                                     # "damaged"
         "revlog": [[0, 1767261600000, 3, 1], ...]}  # package: review log entries: note index,
                                                     # id (ms since 1970 UTC), ease, type

The newest layout, as Anki documents it: "meta" holds a protobuf message whose field 1 is the
layout's version (3), "collection.anki21b" the SQLite collection (of the newer schema, with
the tables notetypes, fields and decks) compressed with zstd, "media" a zstd-compressed
protobuf message repeating field 1, one entry per file (1: name, 2: size, 3: SHA-1), and the
media files, zstd-compressed each, named by their place in that list. The zstd frames come
from the zstd program, the protobuf bytes from the encoder below.
"""
import hashlib
import json
import os
import re
import sqlite3
import subprocess
import sys
import tempfile
import time
import zipfile

SCHEMA = """
CREATE TABLE col (id integer primary key, crt integer not null, mod integer not null,
  scm integer not null, ver integer not null, dty integer not null, usn integer not null,
  ls integer not null, conf text not null, models text not null, decks text not null,
  dconf text not null, tags text not null);
CREATE TABLE notes (id integer primary key, guid text not null, mid integer not null,
  mod integer not null, usn integer not null, tags text not null, flds text not null,
  sfld integer not null, csum integer not null, flags integer not null, data text not null);
CREATE TABLE cards (id integer primary key, nid integer not null, did integer not null,
  ord integer not null, mod integer not null, usn integer not null, type integer not null,
  queue integer not null, due integer not null, ivl integer not null, factor integer not null,
  reps integer not null, lapses integer not null, left integer not null, odue integer not null,
  odid integer not null, flags integer not null, data text not null);
CREATE TABLE revlog (id integer primary key, cid integer not null, usn integer not null,
  ease integer not null, ivl integer not null, lastIvl integer not null, factor integer not null,
  time integer not null, type integer not null);
CREATE TABLE graves (usn integer not null, oid integer not null, type integer not null);
"""


def model(mid, name, fields, cloze):
    return {"id": mid, "name": name, "type": 1 if cloze else 0, "mod": 0, "usn": -1,
            "sortf": 0, "did": 1, "tmpls": [{"name": "Card 1", "ord": 0,
                                              "qfmt": "{{%s}}" % fields[0], "afmt": "{{FrontSide}}"}],
            "flds": [{"name": f, "ord": i, "sticky": False, "rtl": False, "font": "Arial",
                      "size": 20} for i, f in enumerate(fields)],
            "css": "", "latexPre": "", "latexPost": "", "tags": [], "vers": [], "req": [[0, "all", [0]]]}


def checksum(field):
    plain = re.sub(r"<[^>]*>", "", field)
    return int(hashlib.sha1(plain.encode("utf-8")).hexdigest()[:8], 16)


def collection(path, recipe):
    db = sqlite3.connect(path)
    db.executescript(SCHEMA)
    fields = recipe.get("fields", ["Front", "Back"])
    models = {"1342697561419": model(1342697561419, recipe.get("model", "Basic"), fields, False),
              "1342697561420": model(1342697561420, "Cloze", ["Text", "Extra"], True)}
    decks = {"1": {"id": 1, "name": "Default"},
             "1700000000000": {"id": 1700000000000, "name": recipe.get("deck", "Default")}}
    now = int(time.time())
    db.execute("INSERT INTO col VALUES (1, ?, ?, ?, 11, 0, 0, 0, '{}', ?, ?, '{}', '{}')",
               (now, now * 1000, now * 1000, json.dumps(models), json.dumps(decks)))
    nid = 1600000000000
    rows = [(1342697561419, n) for n in recipe.get("notes", [])]
    rows += [(1342697561420, [c, ""]) for c in recipe.get("cloze", [])]
    for mid, flds in rows:
        nid += 1
        db.execute("INSERT INTO notes VALUES (?, ?, ?, ?, -1, '', ?, ?, ?, 0, '')",
                   (nid, "g%d" % nid, mid, now, "\x1f".join(flds), flds[0], checksum(flds[0])))
        db.execute("INSERT INTO cards VALUES (?, ?, 1700000000000, 0, ?, -1, 0, 0, ?, 0, 0, 0, 0, 0, 0, 0, 0, '')",
                   (nid, nid, now, nid - 1600000000000))
    # The review log; each note's one card has the note's id.
    for note, when, ease, kind in recipe.get("revlog", []):
        db.execute("INSERT INTO revlog VALUES (?, ?, -1, ?, 0, 0, 0, 0, ?)",
                   (when, 1600000000001 + note, ease, kind))
    db.commit()
    db.close()


NEWER_SCHEMA = """
CREATE TABLE notetypes (id integer not null primary key, name text not null, mtime_secs integer not null,
  usn integer not null, config blob not null);
CREATE TABLE fields (ntid integer not null, ord integer not null, name text not null,
  config blob not null, primary key (ntid, ord)) without rowid;
CREATE TABLE decks (id integer primary key not null, name text not null, mtime_secs integer not null,
  usn integer not null, common blob not null, kind blob not null);
"""


def newer_collection(path, recipe):
    """The collection of the newer schema: note types, fields and decks in tables of their own,
    col.models and col.decks empty; a deck's parts separated by 0x1F."""
    collection(path, recipe)
    db = sqlite3.connect(path)
    db.executescript(NEWER_SCHEMA)
    models = json.loads(db.execute("SELECT models FROM col").fetchone()[0])
    for mid, m in models.items():
        db.execute("INSERT INTO notetypes VALUES (?, ?, 0, 0, x'')", (int(mid), m["name"]))
        for f in m["flds"]:
            db.execute("INSERT INTO fields VALUES (?, ?, ?, x'')", (int(mid), f["ord"], f["name"]))
    db.execute("INSERT INTO decks VALUES (1, 'Default', 0, 0, x'', x'')")
    db.execute("INSERT INTO decks VALUES (1700000000000, ?, 0, 0, x'', x'')",
               ("Lingue\x1f" + recipe.get("deck", "Default"),))
    db.execute("UPDATE col SET models = '', decks = ''")
    db.commit()
    db.close()


def varint(n):
    out = bytearray()
    while True:
        byte = n & 0x7F
        n >>= 7
        out.append(byte | (0x80 if n else 0))
        if not n:
            return bytes(out)


def field(number, value):
    """One protobuf field: a varint for an int, length-delimited for bytes."""
    if isinstance(value, int):
        return varint(number << 3) + varint(value)
    return varint(number << 3 | 2) + varint(len(value)) + value


def zstd(data, *options):
    return subprocess.run(["zstd", "-q", "-c", *options], input=data, stdout=subprocess.PIPE,
                          check=True).stdout


def newest_collection(tmp, recipe):
    col = os.path.join(tmp, "collection.anki21b.db")
    newer_collection(col, recipe)
    with open(col, "rb") as f:
        data = f.read()
    kind = recipe.get("newestCollection", "zstd")
    if kind == "claims":
        # A frame header stating 1 GiB (8-byte size field, a 1 MiB window), then one empty
        # last block: the stated size alone must refuse it.
        return (b"\x28\xb5\x2f\xfd" + bytes([0xC0, 0x50]) + (1 << 30).to_bytes(8, "little") +
                b"\x01\x00\x00")
    if kind == "damaged":
        return zstd(data)[:40] + b"\0" * 32
    if kind == "bomb":
        data += b"\0" * (65 * 1024 * 1024)
    if kind in ("no-size", "bomb"):
        return zstd(data, "--no-content-size")
    return zstd(data, "--content-size")


def newest_package(recipe, tmp, z):
    z.writestr("meta", field(1, 3))
    z.writestr("collection.anki21b", newest_collection(tmp, recipe))
    # What older versions find: a collection telling them to update.
    z.writestr("collection.anki2", b"not the collection")
    entries = b""
    for i, (name, source) in enumerate(sorted(recipe.get("media", {}).items())):
        with open(source, "rb") as f:
            data = f.read()
        z.writestr(str(i), zstd(data))
        entries += field(1, field(1, name.encode()) + field(2, len(data)) +
                         field(3, hashlib.sha1(data).digest()))
    z.writestr("media", zstd(entries))


def package(recipe):
    with tempfile.TemporaryDirectory() as tmp:
        col = os.path.join(tmp, "collection.anki2")
        collection(col, recipe)
        with zipfile.ZipFile(recipe["out"], "w", zipfile.ZIP_DEFLATED) as z:
            if recipe.get("newestLayout"):
                newest_package(recipe, tmp, z)
                return
            z.write(col, "collection.anki2")
            names = dict(recipe.get("mediaNames", {}))
            for i, (name, source) in enumerate(sorted(recipe.get("media", {}).items())):
                z.write(source, str(i))
                names[str(i)] = name
            padding = recipe.get("padding", 0)
            if padding:
                # Unused media that does not compress, written a megabyte at a time.
                with z.open(str(len(names) + 1000), "w", force_zip64=True) as f:
                    while padding > 0:
                        chunk = os.urandom(min(padding, 1 << 20))
                        f.write(chunk)
                        padding -= len(chunk)
            z.writestr("media", json.dumps(names))


def text(recipe):
    fields = recipe.get("fields")
    lines = ["#separator:tab", "#html:true"]
    if fields:
        lines.append("#columns:" + "\t".join(fields))
    if recipe.get("deck"):
        lines.append("#deck:" + recipe["deck"])

    def quoted(f):
        return '"' + f.replace('"', '""') + '"' if ("\t" in f or '"' in f or "\n" in f) else f
    for n in recipe.get("notes", []) + [[c, ""] for c in recipe.get("cloze", [])]:
        lines.append("\t".join(quoted(f) for f in n))
    with open(recipe["out"], "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        recipe = json.load(f)
    (package if recipe.get("kind", "package") == "package" else text)(recipe)


if __name__ == "__main__":
    main()
