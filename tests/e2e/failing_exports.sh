#!/bin/sh
# Exports that cannot be written, through `tovanel --export`: a file size limit (as a full disk stops a
# write part-way), a pipe and a folder as the target. Each must fail with exit 1 and a German
# "tovanel: " line, leave no file, and leave nothing in the temporary folder; a cell too long for Excel
# is written shortened and told on standard error with exit 0.
# Usage: failing_exports.sh TOVANEL_BINARY
set -u
tovanel=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir "$out/target" "$out/tmp" "$out/runtime"
chmod 700 "$out/runtime"
# Qt's runtime folder would otherwise be made in the temporary folder.
export TMPDIR="$out/tmp" XDG_RUNTIME_DIR="$out/runtime" QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
fail=0
check() { # NAME CONDITION...
    name=$1
    shift
    if "$@"; then echo "ok   $name"; else echo "FAIL $name"; fail=1; fi
}
empty() { [ -z "$(ls -A "$1")" ]; }

i=0
while [ $i -lt 3000 ]; do
    printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Kontakt %d\r\nTEL;TYPE=CELL:0171 %07d\r\nNOTE:%s\r\nEND:VCARD\r\n' \
        $i $i 'Eine Notiz, die jede Zeile etwas länger macht.'
    i=$((i + 1))
done >"$out/big.vcf"

for format in csv vcf xlsx pdf; do
    (ulimit -f 40 && exec "$tovanel" --export "$out/target/big.$format" "$out/big.vcf") 2>"$out/err"
    code=$?
    check "$format past the size limit: exit 1 (got $code)" [ $code -eq 1 ]
    check "$format past the size limit: German reason" grep -q '^tovanel: Die Datei ist zu groß\.$' "$out/err"
    check "$format past the size limit: no file left" empty "$out/target"
    check "$format past the size limit: temporary folder clean" empty "$out/tmp"
    [ $fail -eq 0 ] || cat "$out/err"
done

mkfifo "$out/target/pipe.csv"
timeout 20 "$tovanel" --export "$out/target/pipe.csv" "$out/big.vcf" 2>"$out/err"
code=$?
check "pipe as target: exit 1 (got $code)" [ $code -eq 1 ]
check "pipe as target: German reason" grep -q '^tovanel: Dort steht keine gewöhnliche Datei' "$out/err"
check "pipe as target: still a pipe" [ -p "$out/target/pipe.csv" ]
rm "$out/target/pipe.csv"

mkdir "$out/target/folder.xlsx"
"$tovanel" --export "$out/target/folder.xlsx" "$out/big.vcf" 2>"$out/err"
code=$?
check "folder as target: exit 1 (got $code)" [ $code -eq 1 ]
check "folder as target: German reason" grep -q '^tovanel: Das ist ein Ordner, keine Datei\.$' "$out/err"
rmdir "$out/target/folder.xlsx"

note=$(head -c 40000 /dev/zero | tr '\0' 'x')
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Lang\r\nNOTE:%s\r\nEND:VCARD\r\n' "$note" >"$out/long.vcf"
"$tovanel" --export "$out/target/long.xlsx" "$out/long.vcf" 2>"$out/err"
code=$?
check "long note: exit 0 (got $code)" [ $code -eq 0 ]
check "long note: told on standard error" grep -q '^tovanel: In „long.xlsx“ wurde 1 Zelle gekürzt' "$out/err"
check "long note: temporary folder clean" empty "$out/tmp"
exit $fail
