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
         "newestLayout": false,                      # package: collection.anki21b only
         "revlog": [[0, 1767261600000, 3, 1], ...]}  # package: review log entries: note index,
                                                     # id (ms since 1970 UTC), ease, type
"""
import hashlib
import json
import os
import re
import sqlite3
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


def package(recipe):
    with tempfile.TemporaryDirectory() as tmp:
        col = os.path.join(tmp, "collection.anki2")
        collection(col, recipe)
        with zipfile.ZipFile(recipe["out"], "w", zipfile.ZIP_DEFLATED) as z:
            if recipe.get("newestLayout"):
                z.writestr("collection.anki21b", b"\x28\xb5\x2f\xfd" + b"\0" * 32)  # zstd magic
            else:
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
