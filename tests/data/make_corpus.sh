#!/usr/bin/env bash
# Makes the corpus of damaged and hostile files that the readers are tried with:
#   tests/data/make_corpus.sh OUTDIR
# Everything is made here from the file formats alone, with the sqlcipher shell and perl,
# never copied from anywhere. OUTDIR/expect.tsv lists every case:
#   reader <TAB> file name <TAB> refused | usable | hidden
# refused: the reader must say what is wrong, naming the file; usable: the file is odd but
# valid and must be read; hidden: not a file the program lists (a folder, a dangling link).
# Random bytes come from a fixed seed, so the corpus is the same on every machine.
set -euo pipefail
out="${1:?usage: make_corpus.sh OUTDIR}"
rm -rf "$out"
mkdir -p "$out"/{installed,virtual,users,template,cfg,input,import,outside}
out="$(cd "$out" && pwd)"
expect="$out/expect.tsv"
: >"$expect"

SUBJECT_KEY=tamarind9051
TEMPLATE_KEY=qrv6180

case_() { printf '%s\t%s\t%s\n' "$1" "$2" "$3" >>"$expect"; }

# sql FILE KEY: runs the SQL on standard input; an empty KEY makes a plain SQLite file.
sql() {
    local file="$1" key="$2"
    {
        if [ -n "$key" ]; then
            printf "PRAGMA key = '%s';\nPRAGMA kdf_iter = 64;\n" "$key"
        fi
        cat
    } | sqlcipher -bail "$out/.making" >/dev/null
    # Made under a short name: the shell's journal beside a 250-character name would not fit.
    mv "$out/.making" "$file"
}

# random FILE BYTES SEED
random() { perl -e 'srand($ARGV[1]); print map { chr(int(rand(256))) } 1..$ARGV[0]' "$2" "$3" >"$1"; }

INSTALLED_SCHEMA="CREATE TABLE tblProperties (tProgramCode TEXT);
CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT, tTranslation TEXT, tTranslation2 TEXT, bsound BLOB);"

# subject FILE CODE ROWS [KEY]: an installed subject with ROWS plain phrases.
subject() {
    local file="$1" code="$2" rows="$3" key="${4-$SUBJECT_KEY}"
    {
        echo "$INSTALLED_SCHEMA"
        echo "INSERT INTO tblProperties VALUES ('$code');"
        echo "BEGIN;"
        for ((i = 1; i <= rows; i++)); do
            echo "INSERT INTO tblPhrases VALUES ($i, 'Frase $i', 'Phrase $i', NULL, NULL);"
        done
        echo "COMMIT;"
    } | sql "$file" "$key"
}

# A view that never ends and fills memory: the rows of a recursion that doubles.
endless() { # endless NAME COLUMNS...
    local name="$1" cols
    shift
    cols=$(printf "'x' AS %s, " "$@")
    echo "CREATE VIEW $name AS WITH RECURSIVE r(n, t) AS (SELECT 1, 'x' UNION ALL SELECT n + 1, t || t FROM r)
SELECT ${cols%, } FROM r;"
}
# wal FILE: the file in write-ahead mode, with no -wal or -shm file beside it.
wal() {
    local key="$2"
    printf "PRAGMA key = '%s';\nPRAGMA kdf_iter = 64;\nPRAGMA journal_mode = WAL;\n" "$key" |
        sqlcipher -bail "$1" >/dev/null
    rm -f "$1-wal" "$1-shm"
}

# ---------------------------------------------------------------- installed subjects
d="$out/installed"
subject "$d/Good.ita" prlita 3
case_ installed Good.ita usable
: >"$d/Empty.ita"; case_ installed Empty.ita refused
subject "$out/outside/whole.ita" prlita 10
head -c 1500 "$out/outside/whole.ita" >"$d/Truncated.ita"; case_ installed Truncated.ita refused
random "$d/Random_Bytes.ita" 4096 1; case_ installed Random_Bytes.ita refused
subject "$d/Wrong_Password.ita" prlita 3 not-the-key; case_ installed Wrong_Password.ita refused
subject "$d/Plain_Sqlite.ita" prlita 3 ""; case_ installed Plain_Sqlite.ita refused
printf 'SQLite format 3\0' >"$d/Header_Only.ita"; case_ installed Header_Only.ita refused
echo "CREATE TABLE tblProperties (tProgramCode TEXT); INSERT INTO tblProperties VALUES ('prlita');" |
    sql "$d/No_Phrases_Table.ita" "$SUBJECT_KEY"
case_ installed No_Phrases_Table.ita refused
echo "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT, tTranslation TEXT, tTranslation2 TEXT, bsound BLOB);
INSERT INTO tblPhrases VALUES (1, 'a', 'b', NULL, NULL);" | sql "$d/No_Properties_Table.ita" "$SUBJECT_KEY"
case_ installed No_Properties_Table.ita refused
echo "CREATE TABLE tblProperties (tProgramCode TEXT); INSERT INTO tblProperties VALUES ('prlita');
CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT);
INSERT INTO tblPhrases VALUES (1, 'solo');" | sql "$d/Missing_Columns.ita" "$SUBJECT_KEY"
case_ installed Missing_Columns.ita refused
echo "$INSTALLED_SCHEMA INSERT INTO tblPhrases VALUES (1, 'a', 'b', NULL, NULL);" |
    sql "$d/No_Properties_Row.ita" "$SUBJECT_KEY"
case_ installed No_Properties_Row.ita refused
echo "$INSTALLED_SCHEMA INSERT INTO tblProperties VALUES (NULL); INSERT INTO tblPhrases VALUES (1, 'a', 'b', NULL, NULL);" |
    sql "$d/Null_Code.ita" "$SUBJECT_KEY"
case_ installed Null_Code.ita refused
subject "$d/Other_Edition.ita" prlspa 3; case_ installed Other_Edition.ita refused
echo "$INSTALLED_SCHEMA INSERT INTO tblProperties VALUES ('prlita');" | sql "$d/No_Phrases.ita" "$SUBJECT_KEY"
case_ installed No_Phrases.ita usable
subject "$d/Eleven_Phrases.ita" prlita 11; case_ installed Eleven_Phrases.ita usable
subject "$d/Ten_Thousand_Phrases.ita" prlita 10000; case_ installed Ten_Thousand_Phrases.ita usable
echo "$INSTALLED_SCHEMA INSERT INTO tblProperties VALUES ('prlita');
INSERT INTO tblPhrases VALUES (1, 'grande', printf('%.*c', 1048576, 'x'), printf('%.*c', 1048576, 'y'), NULL);" |
    sql "$d/Megabyte_Texts.ita" "$SUBJECT_KEY"
case_ installed Megabyte_Texts.ita usable
echo "$INSTALLED_SCHEMA INSERT INTO tblProperties VALUES ('prlita');
INSERT INTO tblPhrases VALUES (1, CAST(X'6100620063' AS TEXT), CAST(X'4E554C00' AS TEXT), NULL, NULL);" |
    sql "$d/Nul_In_Texts.ita" "$SUBJECT_KEY"
case_ installed Nul_In_Texts.ita usable
echo "$INSTALLED_SCHEMA INSERT INTO tblProperties VALUES ('prlita');
INSERT INTO tblPhrases VALUES (1, CAST(X'C328FFFE' AS TEXT), CAST(X'E282' AS TEXT), CAST(X'EDA080' AS TEXT), NULL);" |
    sql "$d/Invalid_Utf8.ita" "$SUBJECT_KEY"
case_ installed Invalid_Utf8.ita usable
echo "$INSTALLED_SCHEMA INSERT INTO tblProperties VALUES ('prlita');
INSERT INTO tblPhrases VALUES (1, 'uno*due', 'one' || char(13,10) || 'two' || char(10) || '\"three\"', '*', NULL);" |
    sql "$d/Stars_And_Breaks.ita" "$SUBJECT_KEY"
case_ installed Stars_And_Breaks.ita usable
echo "$INSTALLED_SCHEMA INSERT INTO tblProperties VALUES ('prlita');
INSERT INTO tblPhrases VALUES (1, NULL, NULL, NULL, X'00010203');
INSERT INTO tblPhrases VALUES (9223372036854775807, 'max', 'max', NULL, 'not a sound');
INSERT INTO tblPhrases VALUES (-5, 'neg', 'neg', NULL, NULL);" | sql "$d/Odd_Rows.ita" "$SUBJECT_KEY"
case_ installed Odd_Rows.ita usable
name="Quote's \"Double\".ita"; subject "$d/$name" prlita 2; case_ installed "$name" usable
name="  Blanks   In Name .ita"; subject "$d/$name" prlita 2; case_ installed "$name" usable
name="Città Perché Ñandú.ita"; subject "$d/$name" prlita 2; case_ installed "$name" usable
name="$(printf 'L%.0s' $(seq 246)).ita"; subject "$d/$name" prlita 2; case_ installed "$name" usable
name="Semi;colon & \$(dollar) \`back\` %s.ita"; subject "$d/$name" prlita 2; case_ installed "$name" usable
{ echo "CREATE TABLE tblProperties (tProgramCode TEXT); INSERT INTO tblProperties VALUES ('prlita');"
  endless tblPhrases pkPhraseNo tPhrase tTranslation tTranslation2 bsound; } | sql "$d/Recursive_View.ita" "$SUBJECT_KEY"
case_ installed Recursive_View.ita refused
{ echo "$INSTALLED_SCHEMA INSERT INTO tblProperties VALUES ('prlita'); INSERT INTO tblPhrases VALUES (1, 'a', 'b', NULL, NULL);"
  echo "CREATE TRIGGER t AFTER INSERT ON tblProperties BEGIN DELETE FROM tblPhrases; END;"; } | sql "$d/Trigger.ita" "$SUBJECT_KEY"
case_ installed Trigger.ita refused
subject "$d/WAL_Mode.ita" prlita 3; wal "$d/WAL_Mode.ita" "$SUBJECT_KEY"; case_ installed WAL_Mode.ita usable
# A phrase sound whose data chunk claims 0xFFFFFFF0 bytes but holds 1600 (a tenth of a second
# of silence, 16-bit mono at 8000 Hz): a player that trusts the header reserves gigabytes.
LIE_HEX=$({ printf 'RIFF\xf8\xff\xff\xffWAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0'
            printf 'data\xf0\xff\xff\xff'; head -c 1600 /dev/zero; } | od -An -v -tx1 | tr -d ' \n')
echo "$INSTALLED_SCHEMA INSERT INTO tblProperties VALUES ('prlita');
INSERT INTO tblPhrases VALUES (1, 'bugia', 'lie', NULL, X'$LIE_HEX');" | sql "$d/Lying_Wave.ita" "$SUBJECT_KEY"
case_ installed Lying_Wave.ita usable
random "$out/outside/random.bin" 2048 2
ln -s "$out/outside/random.bin" "$d/Link_Outside.ita"; case_ installed Link_Outside.ita refused
ln -s "$out/outside/missing.ita" "$d/Dangling_Link.ita"; case_ installed Dangling_Link.ita hidden
mkdir "$d/Folder.ita"; case_ installed Folder.ita hidden

# ---------------------------------------------------------------- virtual subject files
VIRTUAL_SCHEMA="CREATE TABLE tblParents (nParent INTEGER PRIMARY KEY AUTOINCREMENT, tParentName TEXT);
CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY AUTOINCREMENT, fkParent INTEGER, tfilename TEXT NOT NULL, nPhraseNo INTEGER NOT NULL, tPhrase TEXT, tTranslation TEXT, tTranslation2 TEXT);"
d="$out/virtual"
echo "$VIRTUAL_SCHEMA INSERT INTO tblParents VALUES (1, 'Mine');
INSERT INTO tblPhrases VALUES (NULL, 1, 'Good.ita', 1, 'a', 'b', NULL);" | sql "$d/Good.vita" "$SUBJECT_KEY"
case_ virtual Good.vita usable
: >"$d/Empty.vita"; case_ virtual Empty.vita refused
random "$d/Random_Bytes.vita" 3000 3; case_ virtual Random_Bytes.vita refused
echo "$VIRTUAL_SCHEMA" | sql "$d/Wrong_Password.vita" other-key; case_ virtual Wrong_Password.vita refused
echo "$VIRTUAL_SCHEMA" | sql "$d/Plain_Sqlite.vita" ""; case_ virtual Plain_Sqlite.vita refused
echo "CREATE TABLE tblOther (x);" | sql "$d/No_Parents_Table.vita" "$SUBJECT_KEY"
case_ virtual No_Parents_Table.vita refused
echo "CREATE TABLE tblParents (nParent INTEGER PRIMARY KEY); INSERT INTO tblParents VALUES (1);" |
    sql "$d/One_Column.vita" "$SUBJECT_KEY"
case_ virtual One_Column.vita refused
echo "$VIRTUAL_SCHEMA INSERT INTO tblParents VALUES (1, CAST(X'C328FF00' AS TEXT));
INSERT INTO tblParents VALUES (2, printf('%.*c', 1048576, 'v'));
INSERT INTO tblParents VALUES (3, 'It''s \"quoted\" * and' || char(10) || 'broken');
INSERT INTO tblParents VALUES (4, NULL);
INSERT INTO tblPhrases VALUES (NULL, 1, '../../../etc/passwd', 1, 'a', 'b', NULL);
INSERT INTO tblPhrases VALUES (NULL, 1, 'Good.ita', 99999, 'a', 'b', NULL);" | sql "$d/Hostile_Names.vita" "$SUBJECT_KEY"
case_ virtual Hostile_Names.vita usable
head -c 2000 "$d/Good.vita" >"$d/Truncated.vita"; case_ virtual Truncated.vita refused
name="Mía \"Copia\" 's.vita"; cp "$d/Good.vita" "$d/$name"; case_ virtual "$name" usable
{ echo "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, fkParent INTEGER, tfilename TEXT, nPhraseNo INTEGER, tPhrase TEXT, tTranslation TEXT, tTranslation2 TEXT);"
  endless tblParents nParent tParentName; } | sql "$d/Recursive_View.vita" "$SUBJECT_KEY"
case_ virtual Recursive_View.vita refused
{ echo "$VIRTUAL_SCHEMA INSERT INTO tblParents VALUES (1, 'Mine');"
  echo "CREATE TRIGGER t BEFORE INSERT ON tblPhrases BEGIN DELETE FROM tblParents; END;"; } | sql "$d/Trigger.vita" "$SUBJECT_KEY"
case_ virtual Trigger.vita refused
cp "$d/Good.vita" "$d/WAL_Mode.vita"; wal "$d/WAL_Mode.vita" "$SUBJECT_KEY"; case_ virtual WAL_Mode.vita usable

# ---------------------------------------------------------------- users databases
USERS_SCHEMA="CREATE TABLE tblUsers (pkStudentID INTEGER PRIMARY KEY AUTOINCREMENT, tFirstname TEXT, tLastname TEXT, tPassword TEXT, nIcon INTEGER);
CREATE TABLE tblscores (pkScoreID INTEGER PRIMARY KEY AUTOINCREMENT, tName TEXT, tActivity TEXT, tSubject TEXT, textScore TEXT, numberScore REAL, nDate TEXT, nTime TEXT);
CREATE VIEW qryActivities AS SELECT DISTINCT tActivity FROM tblscores ORDER BY tActivity;
CREATE VIEW qrySubjects AS SELECT DISTINCT tSubject FROM tblscores ORDER BY tSubject;"
d="$out/users"
echo "$USERS_SCHEMA INSERT INTO tblUsers VALUES (1, 'Ada', 'Rossi', '', 3);" | sql "$d/Good.dat" "$TEMPLATE_KEY"
case_ users Good.dat usable
: >"$d/Empty.dat"; case_ users Empty.dat refused
random "$d/Random_Bytes.dat" 8192 4; case_ users Random_Bytes.dat refused
head -c 3000 "$d/Good.dat" >"$d/Truncated.dat"; case_ users Truncated.dat refused
echo "$USERS_SCHEMA" | sql "$d/Wrong_Password.dat" "$SUBJECT_KEY"; case_ users Wrong_Password.dat refused
echo "$USERS_SCHEMA" | sql "$d/Plain_Sqlite.dat" ""; case_ users Plain_Sqlite.dat refused
echo "CREATE TABLE tblscores (x);" | sql "$d/No_Users_Table.dat" "$TEMPLATE_KEY"; case_ users No_Users_Table.dat refused
echo "CREATE TABLE tblUsers (pkStudentID INTEGER PRIMARY KEY, tFirstname TEXT); INSERT INTO tblUsers VALUES (1, 'Ada');" |
    sql "$d/Missing_Columns.dat" "$TEMPLATE_KEY"
case_ users Missing_Columns.dat usable
echo "$USERS_SCHEMA INSERT INTO tblUsers VALUES (1, 'O''Brien \"Zed\"', CAST(X'C328FF00' AS TEXT), 'p*w' || char(10), 'x');
INSERT INTO tblUsers VALUES (2, printf('%.*c', 1048576, 'n'), NULL, NULL, -7);
INSERT INTO tblUsers VALUES (3, ''';DROP TABLE tblUsers;--', 'Robert', NULL, 99999);" | sql "$d/Hostile_Names.dat" "$TEMPLATE_KEY"
case_ users Hostile_Names.dat usable
{ echo "CREATE TABLE tblscores (pkScoreID INTEGER PRIMARY KEY, tName TEXT, tActivity TEXT, tSubject TEXT, textScore TEXT, numberScore REAL, nDate TEXT, nTime TEXT);"
  endless tblUsers pkStudentID tFirstname tLastname tPassword nIcon; } | sql "$d/Recursive_View.dat" "$TEMPLATE_KEY"
case_ users Recursive_View.dat refused
{ echo "$USERS_SCHEMA INSERT INTO tblUsers VALUES (1, 'Ada', 'Rossi', '', 3);"
  echo "CREATE TRIGGER t AFTER INSERT ON tblscores BEGIN DELETE FROM tblUsers; END;"; } | sql "$d/Trigger.dat" "$TEMPLATE_KEY"
case_ users Trigger.dat refused
# Made by an older version: no picture column for the learners.
echo "CREATE TABLE tblUsers (pkStudentID INTEGER PRIMARY KEY AUTOINCREMENT, tFirstname TEXT, tLastname TEXT, tPassword TEXT);
CREATE TABLE tblscores (pkScoreID INTEGER PRIMARY KEY AUTOINCREMENT, tName TEXT, tActivity TEXT, tSubject TEXT, textScore TEXT, numberScore REAL, nDate TEXT, nTime TEXT);
INSERT INTO tblUsers VALUES (1, 'Ada', 'Rossi', '');" | sql "$d/Old_Schema.dat" "$TEMPLATE_KEY"
case_ users Old_Schema.dat usable

# ---------------------------------------------------------------- template databases
d="$out/template"
echo "CREATE TABLE tblCaptions (English TEXT, Spanish TEXT);
INSERT INTO tblCaptions VALUES ('one', 'uno'); INSERT INTO tblCaptions VALUES ('two', 'dos');" |
    sql "$d/Few_Captions.tpl" "$TEMPLATE_KEY"
case_ template Few_Captions.tpl usable
: >"$d/Empty.tpl"; case_ template Empty.tpl refused
random "$d/Random_Bytes.tpl" 5000 5; case_ template Random_Bytes.tpl refused
echo "CREATE TABLE tblCaptions (English TEXT, Spanish TEXT);" | sql "$d/Wrong_Password.tpl" "$SUBJECT_KEY"
case_ template Wrong_Password.tpl refused
echo "CREATE TABLE tblCaptions (English TEXT, Spanish TEXT);" | sql "$d/Plain_Sqlite.tpl" ""
case_ template Plain_Sqlite.tpl refused
echo "CREATE TABLE tblMenu (x);" | sql "$d/No_Captions_Table.tpl" "$TEMPLATE_KEY"; case_ template No_Captions_Table.tpl refused
echo "CREATE TABLE tblCaptions (Italian TEXT); INSERT INTO tblCaptions VALUES ('x');" |
    sql "$d/Wrong_Columns.tpl" "$TEMPLATE_KEY"
case_ template Wrong_Columns.tpl refused
echo "CREATE TABLE tblCaptions (English TEXT, Spanish TEXT);
INSERT INTO tblCaptions VALUES (NULL, NULL); INSERT INTO tblCaptions VALUES (CAST(X'FF00FE' AS TEXT), printf('%.*c', 1048576, 'c'));" |
    sql "$d/Odd_Captions.tpl" "$TEMPLATE_KEY"
case_ template Odd_Captions.tpl usable
endless tblCaptions English Spanish | sql "$d/Recursive_View.tpl" "$TEMPLATE_KEY"; case_ template Recursive_View.tpl refused

# ---------------------------------------------------------------- activity picture files
d="$out/cfg"
# A one-pixel BMP picture, written out by hand (no checksums to get wrong).
PIC_HEX=424D3A000000000000003600000028000000010000000100000001001800000000000400000013
PIC_HEX+=0B0000130B000000000000000000000000FF00
echo "CREATE TABLE tblImages (pkImageID INTEGER PRIMARY KEY, bEnglish BLOB, bSpanish BLOB);
INSERT INTO tblImages VALUES (1, X'$PIC_HEX', X'$PIC_HEX'); INSERT INTO tblImages VALUES (2, X'$PIC_HEX', X'$PIC_HEX');" |
    sql "$d/Good.cfg" "$TEMPLATE_KEY"
case_ cfg Good.cfg usable
: >"$d/Empty.cfg"; case_ cfg Empty.cfg refused
random "$d/Random_Bytes.cfg" 4000 6; case_ cfg Random_Bytes.cfg refused
echo "CREATE TABLE tblImages (pkImageID INTEGER PRIMARY KEY, bEnglish BLOB, bSpanish BLOB);" |
    sql "$d/Wrong_Password.cfg" "$SUBJECT_KEY"
case_ cfg Wrong_Password.cfg refused
echo "CREATE TABLE tblOther (x);" | sql "$d/No_Images_Table.cfg" "$TEMPLATE_KEY"; case_ cfg No_Images_Table.cfg refused
echo "CREATE TABLE tblImages (pkImageID INTEGER PRIMARY KEY, bEnglish BLOB, bSpanish BLOB);
INSERT INTO tblImages VALUES (1, X'$PIC_HEX', X'$PIC_HEX');" | sql "$d/One_Picture.cfg" "$TEMPLATE_KEY"
case_ cfg One_Picture.cfg refused
echo "CREATE TABLE tblImages (pkImageID INTEGER PRIMARY KEY, bEnglish BLOB, bSpanish BLOB);
INSERT INTO tblImages VALUES (1, X'89504E470D0A1A0A00', randomblob(64)); INSERT INTO tblImages VALUES (2, 'text', NULL);" |
    sql "$d/Not_Pictures.cfg" "$TEMPLATE_KEY"
case_ cfg Not_Pictures.cfg refused
echo "CREATE TABLE tblImages (pkImageID INTEGER PRIMARY KEY, bItalian BLOB);" | sql "$d/Wrong_Columns.cfg" "$TEMPLATE_KEY"
case_ cfg Wrong_Columns.cfg refused
endless tblImages pkImageID bEnglish bSpanish | sql "$d/Recursive_View.cfg" "$TEMPLATE_KEY"; case_ cfg Recursive_View.cfg refused
# An SVG picture whose image is a FIFO that nobody ever writes to.
mkfifo "$out/outside/never.fifo"
SVG="<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' width='8' height='8'><image width='8' height='8' xlink:href='file://$out/outside/never.fifo'/></svg>"
SVG_HEX=$(printf '%s' "$SVG" | od -An -v -tx1 | tr -d ' \n')
echo "CREATE TABLE tblImages (pkImageID INTEGER PRIMARY KEY, bEnglish BLOB, bSpanish BLOB);
INSERT INTO tblImages VALUES (1, X'$SVG_HEX', X'$SVG_HEX'); INSERT INTO tblImages VALUES (2, X'$SVG_HEX', X'$SVG_HEX');" |
    sql "$d/SVG_Fifo.cfg" "$TEMPLATE_KEY"
case_ cfg SVG_Fifo.cfg refused

# ---------------------------------------------------------------- activity input files
d="$out/input"
# input FILE COUNT PHRASE-LINES...: 15 header lines (CRLF) and the given phrase lines.
input() {
    local file="$1" count="$2"
    shift 2
    {
        printf '%s\r\n' 4242 prlita "Parlanto Italian" English Italian "Ada Rossi" "Il caffè" "$count" \
            "$out/users/Good.dat" EMPTY EMPTY EMPTY EMPTY EMPTY 0
        for line in "$@"; do printf '%s\r\n' "$line"; done
    } >"$file"
}
Q='"ciao"'
input "$d/Good.txt" 1 "$Q" '"hello"' '""' '"/nonexistent/s.wav"'; case_ input Good.txt usable
: >"$d/Empty.txt"; case_ input Empty.txt refused
head -c 60 "$d/Good.txt" >"$d/Truncated_Header.txt"; case_ input Truncated_Header.txt refused
input "$d/Truncated_Phrases.txt" 3 "$Q" '"hello"'; case_ input Truncated_Phrases.txt refused
sed '1s/4242/forty-two/' "$d/Good.txt" >"$d/Id_Not_Number.txt"; case_ input Id_Not_Number.txt refused
input "$d/Count_Zero.txt" 0; case_ input Count_Zero.txt refused
input "$d/Count_Eleven.txt" 11 $(for i in $(seq 44); do printf '"x" '; done); case_ input Count_Eleven.txt refused
input "$d/No_Quotes.txt" 1 ciao hello '' ''; case_ input No_Quotes.txt refused
{ head -c 30 "$d/Good.txt"; printf '\xc3\x28\xff\xfe'; tail -c +31 "$d/Good.txt"; } >"$d/Invalid_Utf8.txt"
case_ input Invalid_Utf8.txt refused
{ head -c 30 "$d/Good.txt"; printf 'a\0b'; tail -c +31 "$d/Good.txt"; } >"$d/Nul_Bytes.txt"
case_ input Nul_Bytes.txt usable
input "$d/Megabyte_Line.txt" 1 "\"$(printf 'm%.0s' $(seq 100000))\"" '"x"' '""' '""'; case_ input Megabyte_Line.txt usable
random "$d/Random_Bytes.txt" 3000 7; case_ input Random_Bytes.txt refused
sed '9s/.*/\r/' "$d/Good.txt" >"$d/No_Users_Database.txt"; case_ input No_Users_Database.txt refused
tr -d '\r' <"$d/Good.txt" >"$d/Unix_Line_Ends.txt"; case_ input Unix_Line_Ends.txt usable

# ---------------------------------------------------------------- files opened with the program
# Valid subjects padded to sizes no subject has, made sparse here (never kept anywhere).
d="$out/import"
cp "$out/installed/Good.ita" "$d/Good.ita"; case_ import Good.ita usable
cp "$out/installed/Good.ita" "$d/Padded_2GB.ita"; truncate -s 2G "$d/Padded_2GB.ita"; case_ import Padded_2GB.ita refused
cp "$out/installed/Good.ita" "$d/Padded_6GB.ita"; truncate -s 6G "$d/Padded_6GB.ita"; case_ import Padded_6GB.ita refused

echo "$(wc -l <"$expect") files in $out"
