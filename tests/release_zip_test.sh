#!/usr/bin/env bash
# The release zip of a Windows build holds the deliverables and the read-me,
# nothing else.  release_zip_test.sh BUILDDIR
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
zips=("$out"/*.zip)
zip=${zips[0]}
listing=$(/usr/bin/python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$zip")
echo "$listing"
expected=$(printf '%s\n' README.txt SNTP.dll quickintro.exe sntpquery.exe | sort)
for name in README.txt SNTP.dll sntpquery.exe; do
  grep -qx "$name" <<<"$listing" || { echo "missing from $(basename "$zip"): $name"; exit 1; }
done
extra=$(comm -23 <(echo "$listing") <(echo "$expected"))
[ -z "$extra" ] || { echo "unexpected in $(basename "$zip"): $extra"; exit 1; }
