#!/usr/bin/env bash
# The wizard's pages as a user sees them, under Wine: every page of both
# modes shot at 96 and at 144 dots per inch (tools/wizard-screenshots.sh). At
# 96 each is pixel for pixel the one kept in tests/quickintro/screenshots/96dpi,
# the wizard as it was drawn before it scaled itself; at 144 each is 1.5 times
# as large.
#
#   tests/quickintro/wizard_screenshots_test.sh QUICKINTRO-EXE OUTDIR
#
# The screenshots stay in OUTDIR/96dpi and OUTDIR/144dpi. Uses the caller's
# Wine set-up (DISPLAY, WINEPREFIX), or starts its own. Exit 0 when all of it
# holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
usage="usage: tests/quickintro/wizard_screenshots_test.sh QUICKINTRO-EXE OUTDIR"
exe=${1:?$usage}
out=${2:?$usage}
compare=("/usr/bin/python3" "$root/tests/quickintro/compare_screenshots.py")
rm -rf "$out"
"$root/tools/wizard-screenshots.sh" --dpi 96 --dpi 144 "$out" "$exe" >/dev/null
status=0
"${compare[@]}" same "$root/tests/quickintro/screenshots/96dpi" "$out/96dpi" || status=1
"${compare[@]}" scaled "$out/96dpi" "$out/144dpi" 1.5 || status=1
exit "$status"
