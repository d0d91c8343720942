#!/usr/bin/env bash
# The same merge by the Linux and the Windows joinwright-cli gives the same
# bytes: every file of the merged set (names included), and the set's CSV
# export.  The last run names its folders and files outside ASCII.
#   same_merge_as_linux.sh WINDOWS_CLI.exe WINE_RUN WINE_PREFIX LINUX_BUILD_FOLDER
# Exit 77 (skipped) when the Linux build is not there.
set -euo pipefail
windows_cli=$1 wine_run=$2 prefix=$3 linux=$4
linux_cli=$linux/src/cli/joinwright-cli mkset=$linux/tools/mkset
if [ ! -x "$linux_cli" ] || [ ! -x "$mkset" ]; then
  echo "no Linux build in $linux (joinwright-cli, mkset): build the default preset first"
  exit 77
fi
export LC_ALL=C.UTF-8
work=$(mktemp -d "${TMPDIR:-/tmp}/jw-same-merge-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

failed=0
# same VERSION DAYS SAMPLES FILES BREAK_DATE BASE BACKUP EXISTING OUT: one
# merge by both programs, compared.
same() {
  local version=$1 days=$2 samples=$3 files=$4 date=$5 base=$6 backup=$7 existing=$8 out=$9
  local label="version $version, $base"
  rm -rf sets && mkdir sets
  "$mkset" --out "sets/$backup" --version "$version" --files 4 --start 2004-09-10 --days-per-file "$days" \
    --samples "$samples" --base "$base" --empty "sets/empty/${base}000" >/dev/null
  "$mkset" --out "sets/$existing" --version "$version" --files 4 --start 2004-09-14 --days-per-file "$days" \
    --samples "$samples" --base "$base" >/dev/null
  local args=(merge --backup "sets/$backup/${base}HST" --existing "sets/$existing/${base}HST"
              --template "sets/empty/${base}000" --files "$files" --break-date "$date")
  "$linux_cli" "${args[@]}" --output "$out-linux" >linux.txt
  "$wine_run" "$prefix" "$windows_cli" "${args[@]}" --output "$out-windows" >windows.txt
  "$linux_cli" export "$out-linux/${base}HST" -o out-linux.csv
  "$wine_run" "$prefix" "$windows_cli" export "$out-windows/${base}HST" -o out-windows.csv
  if ! grep -q "The trendfiles are now merged." windows.txt; then
    echo "$label: the Windows merge did not finish:"; cat windows.txt; failed=1
  elif ! diff -r "$out-linux" "$out-windows" || ! cmp out-linux.csv out-windows.csv; then
    echo "$label: the merged sets differ"; failed=1
  else
    echo "$label: $(ls "$out-linux" | wc -l) files and the export are the same bytes"
  fi
  rm -rf "$out-linux" "$out-windows" out-linux.csv out-windows.csv
}

same 6 2 20 8 09-16-2004 TREND. backup existing out
same 0 1 50 12 09-13-2004 TREND. backup existing out
same 4 3 7 5 09-19-2004 TREND. backup existing out
same 6 1 9 9 09-15-2004 "ÜBERDRUCK." "Sicherung ß" "Bestand 日本" "Ergebnis ½"
exit $failed
