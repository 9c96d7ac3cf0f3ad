#!/bin/sh
# Runs the template generator and compares its output, byte for byte, with
# the committed workbook that the program embeds.
#
#   check-generator.sh PERL GENERATOR COMMITTED SCRATCH_DIR
#
# Exits 77 (skipped) when Spreadsheet::WriteExcel is not installed.
set -u

perl=$1 generator=$2 committed=$3 scratch=$4

if ! "$perl" -MSpreadsheet::WriteExcel -e 1 2>/dev/null; then
    echo "SKIPPED: the Perl module Spreadsheet::WriteExcel is not installed" \
         "(Debian package libspreadsheet-writeexcel-perl)"
    exit 77
fi

mkdir -p "$scratch" || exit 1
output="$scratch/generated-template.xls"
rm -f "$output"

"$perl" "$generator" "$output" || { echo "FAIL: the generator failed"; exit 1; }

# A second run must give the same bytes again: the file carries no time stamp.
"$perl" "$generator" "$output.again" || { echo "FAIL: the generator failed"; exit 1; }
if ! cmp "$output" "$output.again"; then
    echo "FAIL: two runs of the generator wrote different files"
    exit 1
fi

if ! cmp "$committed" "$output"; then
    echo "FAIL: the committed template differs from the generator's output;"
    echo "      rebuild it with the regenerate-template target and commit it"
    exit 1
fi
echo "PASS: generator output ($(wc -c < "$output") bytes) equals the committed template"
