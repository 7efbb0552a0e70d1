#!/usr/bin/env bash
# tools/guest-run: usage errors and failed stages end at once or within their
# bound, with the stage named and no emulator left behind; a command in the
# guest gets its output, status, shared folder and host name through.
#   guest_run_test.sh WORKDIR
# Exit 0 all passed, 1 a failure, 77 skipped (no QEMU here).
set -euo pipefail
work=$1
guest_run=$(cd "$(dirname "$0")/../../tools" && pwd)/guest-run
command -v qemu-system-x86_64 >/dev/null || { echo "SKIP: no qemu-system-x86_64 (tools/setup.sh installs it)"; exit 77; }

rm -rf "$work" && mkdir -p "$work/tmp" "$work/share"
export TMPDIR=$work/tmp
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"

# Runs guest-run with the arguments; sets out, err, code and seconds.
run() {
  local start=$SECONDS
  code=0
  "$guest_run" "$@" >"$work/out" 2>"$work/err" </dev/null || code=$?
  seconds=$((SECONDS - start))
  out=$(cat "$work/out") err=$(cat "$work/err")
  echo "  \$ guest-run $* -> exit $code in ${seconds}s"
}

# Nothing of a run is left: its control folder is gone with its emulator.
left_nothing() { [ -z "$(ls -A "$TMPDIR")" ] && ! pgrep -f "$TMPDIR" >/dev/null; }

# arguments | exit status | text expected on standard error
cases=(
  "|64|no command given"
  "--timeout 0 -- true|64|not a positive number: 0"
  "--memory lots -- true|64|not a positive number: lots"
  "--timeout|64|--timeout needs a value"
  "--share $work/none -- true|64|no folder $work/none to share"
  "--kernel 0.0-none -- true|69|stage 'kernel present' failed: no /boot/vmlinuz-0.0-none"
  "--boot-timeout 1 -- true|70|stage 'boot reached' failed: no command started within 1s"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r arguments status text <<<"$entry"
  # shellcheck disable=SC2086
  run $arguments
  check "guest-run $arguments exits $status" [ "$code" -eq "$status" ]
  check "guest-run $arguments says: $text" grep -qF -- "$text" <<<"$err"
  check "guest-run $arguments leaves nothing behind" left_nothing
done

# One boot: output, exit status, the shared folder, the read-only host, the
# guest's own /tmp (where only the folder the command starts in shows, as for
# a clone in /tmp) and its resolvable host name.
start_dir=$(mktemp -d /tmp/guest-run-start.XXXXXX)
hidden=$(mktemp /tmp/guest-run-hidden.XXXXXX)
probe=$start_dir/probe.txt
echo "from the host" >"$probe"
(cd "$start_dir" && run --share "$work/share" -- sh -c "
  cat probe.txt; echo written >'$work/share/result'
  echo changed >probe.txt; hostname; getent hosts \"\$(hostname)\" >/dev/null && echo resolves
  [ -e '$hidden' ] && echo 'host /tmp shows'; bash -c 'cat < <(echo process substitution)'; exit 3"
 declare -p code out >"$work/run.vars")
# shellcheck source=/dev/null
. "$work/run.vars"
hidden_stays_hidden() { ! grep -q "host /tmp shows" <<<"$out"; }
check "the command's status is guest-run's" [ "$code" -eq 3 ]
check "the command sees the host's files, from the folder it starts in" grep -qx "from the host" <<<"$out"
check "the shared folder is written through" grep -qx written "$work/share/result"
check "other writes stay in the guest" grep -qx "from the host" "$probe"
check "the guest has this machine's host name, and it resolves" \
  [ "$(sed -n 2,3p <<<"$out")" = "$(hostname)"$'\n'resolves ]
check "nothing else of the host's /tmp shows" hidden_stays_hidden
check "bash's process substitution works (/dev/fd)" grep -qx "process substitution" <<<"$out"
check "a finished run leaves nothing behind" left_nothing
rm -rf "$start_dir" "$hidden"

# A command that hangs ends at its bound.
run --timeout 5 -- sleep 600
check "a hanging command ends with 124" [ "$code" -eq 124 ]
check "a hanging command is named" grep -qF "stage 'command finished' failed: the command did not end within 5s" <<<"$err"
check "a hanging command leaves nothing behind" left_nothing

checks_summary
