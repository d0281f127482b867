#!/bin/sh
# The spreadsheet export on a German desktop: `tovanel --export` under de_DE.UTF-8, read back by openpyxl,
# which refuses a number written with a decimal comma.
# Usage: german_export.sh TOVANEL_BINARY SAMPLE.vcf. Exit 77 means skipped (the locale or openpyxl missing).
set -u
tovanel=$1
sample=$2
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
    echo "the locale de_DE.UTF-8 is not generated"
    exit 77
fi
if ! /usr/bin/python3 -c 'import openpyxl' 2>/dev/null; then
    echo "openpyxl (python3-openpyxl) is not installed"
    exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if ! LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 QT_QPA_PLATFORM=offscreen "$tovanel" --export "$out/kontakte.xlsx" "$sample"; then
    echo "FAIL: the export under de_DE.UTF-8 failed"
    exit 1
fi
/usr/bin/python3 - "$out/kontakte.xlsx" <<'PY'
import sys, openpyxl
sheet = openpyxl.load_workbook(sys.argv[1]).active
rows = list(sheet.iter_rows(values_only=True))
widths = [sheet.column_dimensions[c].width for c in "ABCDEF"]
ok = rows[0][0] == "Name" and rows[1][0] == "Jürgen Müller" and all(w and w > 1 for w in widths)
print(("ok  " if ok else "FAIL") + f" read back under de_DE: {rows[1][:3]}, widths {widths}")
sys.exit(0 if ok else 1)
PY
