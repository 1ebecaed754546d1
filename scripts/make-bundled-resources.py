#!/usr/bin/env python3
"""Writes the built-in song lists that ship inside the program:

  resources/Bundled/DefaultBookmarks.json   bookmark records of the bundled songbooks
  resources/Bundled/default_metadata.json   title metadata records

Inputs:
  --demo-tool   the built lyrafold-make-demo-books; its songs come first in both files
  --tsv         the metadata table of "Songs from the Public Domain" (title, composer, lyricist or
                date, LilyPond tempo, source file), read where it lies and never copied
  --sftpd-bookmarks
                bookmark records of that book ("sftpd.pdf"), taken when the file exists; their empty
                genre, composer, tempo and year are filled from the table

Both outputs are compact UTF-8 JSON arrays. Every record is checked against its format before
anything is written, because the program rejects a whole file over one bad record.

Rules for the table (its columns are not clean):

  Rows without a title are skipped. All texts are trimmed and put in NFC.

  Composer (column 2):
    - a leading comma is dropped: the name before it was lost, what is left may still carry a year;
    - a field that ends in ", <four digits>" gives that year, and the year leaves the name;
    - life years in brackets go: "(1815–1904)", "(1510-1561)", "(c. 1526–1594)", "(b. 1843)",
      "(d. 1774)";
    - some fields name the air a song is sung to, not a person (TUNE_NAMES below), and
      "Harmonized by ..." names an arranger: those give no composer;
    - descriptions of origin ("Scottish Folk Song", "English Folk Song, 17th or 18th Century",
      "Traditional") stay as they stand: they are how the book credits the music.

  Year: only a field that ends in ", <four digits>" gives one, the composer column first, then
    column 3. Column 3 otherwise holds lyricists (with their life years), psalm numbers or notes like
    "Anonymous, c. 1710, some verses, c. 1287"; approximate years ("c. 1710"), centuries and life
    years never give a year. Column 3 never gives a composer.

  Genre: the section of the collection, which is the folder of the source file ("Civil War",
    "Hymns", "Anthems for Christmas Day"); files in the general folder "ly" give none.

  Tempo: from "\\tempo <note>[.] = <n>" (a range "<n>-<m>" counts as its middle). LilyPond's tempo
    names the beat the music is counted in, a half note in alla breve, a dotted quarter in 6/8, so
    <n> is taken as the beats a minute whatever the note: the slow round "When Jesus Wept" is marked
    "\\tempo 2 = 72", and counting it as 144 quarters would call it fast. Up to 72 "Ballad", 73-96
    "Medium-Ballad", 97-124 "Medium", 125-160 "Medium-Up", above 160 "Fast".

  Matching the book's titles to the table: a bookmark takes the record with its own title key (below)
    first. Failing that, the book's outline and the table spell some titles apart, and both sides are
    compared again with typographic apostrophes made straight (the outline's "Love's Young Dream",
    the table's "Love’s Young Dream") and a trailing " (Round)" removed (the outline marks its 13
    rounds so, the table names them without it). Titles that still differ get nothing: second titles
    of a song ("Let Us Sing" for "The Waits") and spellings like "Integer Vitae" for "Integer Vitæ" are
    not guessed at. The checks of the book's list are in resources/sources/README.md.

  Duplicate titles in the metadata (the same title key as the program's title index uses: case,
  spacing and a leading or trailing "the" do not count): the first record wins, the demo songs'
  before the table's.
"""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import unicodedata
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent

# Composer fields of the table that name the tune the words are set to.
TUNE_NAMES = {
    "The Irish Jaunting Car",
    "The Caledonian Hunt\u2019s Delight",
    "Llwyn Onn",
    "Gramachree",
    "Bonnie Jean o\u2019 Aberdeen",
    "The Moreen",
    "Nannie",
}

BOOKMARK_KEYS = [
    # key, JSON type, required
    ("PdfFileName", str, True),
    ("PdfFilePath", str, True),
    ("PageNumber", int, True),
    ("Title", str, True),
    ("Level", int, True),
    ("PageSpan", int, False),
    ("TotalPages", int, False),
    ("Genre", str, False),
    ("Style", str, False),
    ("FirstReleaseYear", int, False),
    ("Composer", str, False),
    ("Tempo", str, False),
    ("Rating", (int, float), False),
    ("SpotifyUrl", str, False),
    ("YoutubeUrl", str, False),
]

METADATA_KEYS = [
    ("Title", str, True),
    ("Genres", list, False),
    ("Styles", list, False),
    ("FirstReleaseYear", int, False),
    ("Composer", str, False),
    ("Tempo", str, False),
    ("Popularity", int, False),
    ("Rating", (int, float), False),
]

TRAILING_YEAR = re.compile(r",\s*(\d{4})$")
LIFE_YEARS = re.compile(r"\s*\((?:[bd]\.\s*|c\.\s*)?\d{1,4}(?:\s*[\u2013-]\s*(?:c\.\s*)?\d{1,4})?(?:\s*BC)?\)")
ROUND_SUFFIX = re.compile(r"\s+\(Round\)$")
TEMPO = re.compile(r'\\tempo\s+(?:"[^"]*"\s*)?\d+\.*\s*=\s*(\d+)(?:\s*-\s*(\d+))?')


def clean_text(text):
    return " ".join(unicodedata.normalize("NFC", text).split())


def title_key(title):
    """The program's title key: lower case, one blank between words, no leading or trailing "the"."""
    key = " ".join(title.lower().split())
    key = re.sub(r"\s*\(\s*the\s*\)\s*$", "", key)
    key = re.sub(r",\s*the$", "", key)
    key = re.sub(r"^the\s+", "", key)
    return key.strip()


def trailing_year(field):
    """The year of a field ending in ", 1861", and the field without it."""
    match = TRAILING_YEAR.search(field)
    if not match:
        return None, field
    return int(match.group(1)), field[: match.start()].strip()


def composer_and_year(composer_field, third_field):
    year, composer = trailing_year(composer_field.strip())
    if year is None:
        year, _ = trailing_year(third_field.strip())
    composer = clean_text(LIFE_YEARS.sub("", composer.lstrip(", ")))
    if composer in TUNE_NAMES or composer.lower().startswith("harmonized by"):
        composer = ""
    return composer, year


def tempo_word(tempo_field):
    match = TEMPO.search(tempo_field)
    if not match:
        return ""
    low = int(match.group(1))
    high = int(match.group(2)) if match.group(2) else low
    beats = (low + high) / 2
    if beats <= 72:
        return "Ballad"
    if beats <= 96:
        return "Medium-Ballad"
    if beats <= 124:
        return "Medium"
    if beats <= 160:
        return "Medium-Up"
    return "Fast"


def genre_of(source_path):
    folder = Path(source_path).parent.name
    return "" if folder in ("", ".", "ly") else clean_text(folder)


def read_table(path):
    records = []
    with open(path, encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            fields = line.rstrip("\n").split("\t")
            if len(fields) != 5:
                sys.exit(f"{path}:{number}: expected 5 tab-separated columns, found {len(fields)}")
            title_field, composer_field, third_field, tempo_field, source = fields
            title = clean_text(title_field)
            if not title:
                continue
            composer, year = composer_and_year(
                unicodedata.normalize("NFC", composer_field), unicodedata.normalize("NFC", third_field)
            )
            record = {"Title": title}
            genre = genre_of(source)
            if genre:
                record["Genres"] = [genre]
            if year is not None:
                record["FirstReleaseYear"] = year
            if composer:
                record["Composer"] = composer
            tempo = tempo_word(tempo_field)
            if tempo:
                record["Tempo"] = tempo
            if len(record) > 1:
                records.append(record)
    return records


def first_of_each_title(records):
    seen = set()
    kept = []
    for record in records:
        key = title_key(record["Title"])
        if key and key not in seen:
            seen.add(key)
            kept.append(record)
    return kept


def loose_title_key(title):
    """The title key with typographic apostrophes made straight and a trailing " (Round)" removed."""
    title = title.replace("\u2019", "'").replace("\u2018", "'")
    return title_key(ROUND_SUFFIX.sub("", title))


class MetadataLookup:
    """The first metadata record of each title, by title key and, failing that, by the looser key."""

    def __init__(self, records):
        self.by_key = {}
        self.by_loose_key = {}
        for record in records:
            self.by_key.setdefault(title_key(record["Title"]), record)
            self.by_loose_key.setdefault(loose_title_key(record["Title"]), record)

    def find(self, title):
        return self.by_key.get(title_key(title)) or self.by_loose_key.get(loose_title_key(title))


def fill_from_metadata(bookmark, metadata):
    """A copy of bookmark, in the format's key order, with its empty fields filled from metadata."""
    found = metadata.find(bookmark["Title"])
    filled = {}
    for key, _, _ in BOOKMARK_KEYS:
        value = bookmark.get(key)
        if found and value in (None, ""):
            if key == "Genre" and found.get("Genres"):
                value = found["Genres"][0]
            elif key in ("Composer", "Tempo", "FirstReleaseYear"):
                value = found.get(key)
        if value is not None:
            filled[key] = value
    return filled


def check(records, keys, source):
    """Exits when a record would make the program reject the whole file."""
    if not isinstance(records, list):
        sys.exit(f"{source}: not a JSON array")
    for index, record in enumerate(records):
        if not isinstance(record, dict):
            sys.exit(f"{source}[{index}]: not an object")
        for key, kind, required in keys:
            value = record.get(key)
            if value is None:
                if required:
                    sys.exit(f"{source}[{index}]: missing \"{key}\"")
                continue
            wrong = isinstance(value, bool) or not isinstance(value, kind)
            if kind is list and not wrong:
                wrong = not all(isinstance(item, str) for item in value)
            if wrong:
                sys.exit(f"{source}[{index}]: \"{key}\" has the wrong type")


def read_json(path):
    with open(path, encoding="utf-8") as file:
        return json.load(file)


def write_json(path, records):
    path.parent.mkdir(parents=True, exist_ok=True)
    text = json.dumps(records, ensure_ascii=False, separators=(",", ":")) + "\n"
    partial = path.with_name(path.name + ".part")
    partial.write_text(text, encoding="utf-8")
    os.replace(partial, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--demo-tool", required=True, help="the built lyrafold-make-demo-books")
    parser.add_argument("--tsv", required=True, help="songs-from-the-public-domain.tsv")
    parser.add_argument(
        "--sftpd-bookmarks",
        default=str(REPO / "resources" / "sources" / "sftpd-bookmarks.json"),
        help="bookmark records of sftpd.pdf, used when the file exists (default: %(default)s)",
    )
    parser.add_argument("--out-dir", default=str(REPO / "resources" / "Bundled"))
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as work:
        demo_bookmarks = Path(work) / "bookmarks.json"
        demo_metadata = Path(work) / "metadata.json"
        subprocess.run(
            [args.demo_tool, "--bookmarks", str(demo_bookmarks), "--metadata", str(demo_metadata)], check=True
        )
        bookmarks = read_json(demo_bookmarks)
        metadata = read_json(demo_metadata)
    check(bookmarks, BOOKMARK_KEYS, "demo bookmarks")
    check(metadata, METADATA_KEYS, "demo metadata")

    metadata = first_of_each_title(metadata + read_table(args.tsv))
    lookup = MetadataLookup(metadata)

    sftpd = Path(args.sftpd_bookmarks)
    if sftpd.is_file():
        extracted = read_json(sftpd)
        check(extracted, BOOKMARK_KEYS, str(sftpd))
        bookmarks += [fill_from_metadata(record, lookup) for record in extracted]
    else:
        print(f"{sftpd} not found: the bookmark list holds the demo books only", file=sys.stderr)

    check(bookmarks, BOOKMARK_KEYS, "DefaultBookmarks.json")
    check(metadata, METADATA_KEYS, "default_metadata.json")
    out = Path(args.out_dir)
    write_json(out / "DefaultBookmarks.json", bookmarks)
    write_json(out / "default_metadata.json", metadata)
    print(f"{len(bookmarks)} bookmarks, {len(metadata)} metadata records written to {out}")


if __name__ == "__main__":
    main()
