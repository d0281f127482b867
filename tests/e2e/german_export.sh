#!/bin/sh
# The spreadsheet exports on a German desktop: `tovanel --export` under de_DE.UTF-8. The Excel table is
# read back by openpyxl, which refuses a number written with a decimal comma; the CSV is opened by
# LibreOffice as a user's double click would, and each number must stay the text the card writes.
# Usage: german_export.sh TOVANEL_BINARY SAMPLE.vcf. Exit 77 means skipped (the locale, openpyxl or
# LibreOffice missing).
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
if ! command -v soffice >/dev/null; then
    echo "LibreOffice (libreoffice-calc-nogui) is not installed"
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
[ $? -eq 0 ] || exit 1

# Android writes numbers without blanks; a postal code may begin with 0; a name may look like a formula.
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:=2+2\r\nTEL;TYPE=CELL:01711234567\r\nTEL;TYPE=HOME:+4930123456\r\n%s\r\nEND:VCARD\r\n' \
    'ADR;TYPE=HOME:;;Weg 1;Dresden;;01067;' >"$out/android.vcf"
if ! LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 QT_QPA_PLATFORM=offscreen "$tovanel" --export "$out/android.csv" "$out/android.vcf"; then
    echo "FAIL: the CSV export under de_DE.UTF-8 failed"
    exit 1
fi
# Separator ";", text delimiter '"', UTF-8: what LibreOffice's import dialog finds in the file by itself.
if ! LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 timeout 100 soffice -env:UserInstallation="file://$out/profile" --headless \
        --infilter=CSV:59,34,76,1 --convert-to xlsx --outdir "$out/lo" "$out/android.csv" >/dev/null 2>&1; then
    echo "FAIL: LibreOffice did not open the CSV"
    exit 1
fi
/usr/bin/python3 - "$out/lo/android.xlsx" <<'PY'
import sys, openpyxl
sheet = openpyxl.load_workbook(sys.argv[1], data_only=True).active
row = [cell for cell in next(sheet.iter_rows(min_row=2, max_row=2))]
got = {"name": row[0], "mobile": row[2], "home": row[3], "postal code": row[7]}
want = {"name": "'=2+2", "mobile": "01711234567", "home": "030123456", "postal code": "01067"}
ok = True
for key, cell in got.items():
    right = cell.data_type == "s" and cell.value == want[key]
    ok = ok and right
    print(("ok  " if right else "FAIL") + f" LibreOffice reads the {key} as {cell.data_type!r} {cell.value!r}")
sys.exit(0 if ok else 1)
PY
