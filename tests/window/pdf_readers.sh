#!/usr/bin/env bash
# An exported PDF read back by readers that share no code with our writer: poppler's pdfinfo and
# pdftotext, qpdf's JSON and check, and MuPDF's outline listing.
# Usage: pdf_readers.sh TEST_BINARY WORK_FOLDER
set -euo pipefail
tests=$1
work=$2
mkdir -p "$work"
pdf="$work/fixture.pdf"
rm -f "$pdf"

ORVANE_PDF_FIXTURE_OUT="$pdf" QT_QPA_PLATFORM=offscreen \
  "$tests" --gtest_filter='PDFExportTest.APaginatedExportHasTheOutlineTheInformationAndBothNotes' >"$work/test.log" 2>&1
[ -s "$pdf" ] || { echo "no PDF was written"; exit 1; }

fail() { echo "FAIL: $*"; exit 1; }

info=$(pdfinfo "$pdf")
pages=$(awk '/^Pages:/ {print $2}' <<<"$info")
[ "$pages" -ge 3 ] || fail "pdfinfo pages: $pages"
grep -Eq '^Page size: +[0-9.]+ x 900 pts' <<<"$info" || fail "pdfinfo page size: $info"
grep -q '^Author: *Ann Author$' <<<"$info" || fail "pdfinfo author"
grep -q '^Subject: *The news$' <<<"$info" || fail "pdfinfo subject"
grep -q '^Keywords: *news, night$' <<<"$info" || fail "pdfinfo keywords"
grep -Eq '^Creator: *.+ [0-9]' <<<"$info" || fail "pdfinfo creator"

text=$(pdftotext "$pdf" -)
first=$(grep -n '^Line 0 of the script' <<<"$text" | head -1 | cut -d: -f1)
middle=$(grep -n '^Line 100 of the script' <<<"$text" | head -1 | cut -d: -f1)
last=$(grep -n '^The end\.' <<<"$text" | head -1 | cut -d: -f1)
[ -n "$first" ] && [ -n "$middle" ] && [ -n "$last" ] || fail "pdftotext misses words"
[ "$first" -lt "$middle" ] && [ "$middle" -lt "$last" ] || fail "pdftotext order $first $middle $last"

qpdf --check "$pdf" >"$work/check.log" 2>&1 || fail "qpdf --check: $(cat "$work/check.log")"
grep -q 'No syntax or stream encoding errors found' "$work/check.log" || fail "qpdf --check found problems"

qpdf --json "$pdf" >"$work/fixture.json"
python3 - "$work/fixture.json" "$pages" <<'PY' || fail "qpdf --json"
import json, sys
data = json.load(open(sys.argv[1]))
pages = int(sys.argv[2])
outline = [(o["title"], o["destpageposfrom1"]) for o in data["outlines"]]
titles = [t for t, _ in outline]
assert titles == ["Intro", "Act 2", "Über (3) \\"], titles
assert outline[0][1] == 1 and 1 < outline[1][1] < pages and outline[2][1] == pages, outline
objects = data["qpdf"][1]
def value(ref):
    return objects["obj:" + ref]["value"]
notes = []
for page in data["pages"]:
    annots = value(page["object"]).get("/Annots", [])
    if isinstance(annots, str):
        annots = value(annots)
    notes += [value(a) for a in annots]
assert len(notes) == 2, notes
assert all(n["/Subtype"] == "/Text" for n in notes), notes
contents = notes[0]["/Contents"]
contents = contents[2:] if contents.startswith("u:") else contents
assert contents.startswith("Prompter Settings:"), contents
PY

mutool show "$pdf" outline >"$work/outline.txt"
python3 - "$work/outline.txt" "$pages" <<'PY' || fail "mutool outline: $(cat "$work/outline.txt")"
import re, sys
pages = int(sys.argv[2])
found = []
for line in open(sys.argv[1], encoding="utf-8"):
    match = re.search(r'"(.*)"\t#page=(\d+)', line)
    if match:
        found.append((match.group(1).replace("\\\\", "\\"), int(match.group(2))))
assert [t for t, _ in found] == ["Intro", "Act 2", "Über (3) \\"], found
assert found[0][1] == 1 and 1 < found[1][1] < pages and found[2][1] == pages, found
PY
echo "PDF read back by pdfinfo, pdftotext, qpdf and mutool: $pages pages"
