#!/usr/bin/env bash
# Checks the shell scripts of tools/, bench/ and tests/: each passes
# the linter shellcheck (settings in .shellcheckrc), and each that runs on its own
# (it has a #! line) starts with the project's one set of shell flags,
# "set -euo pipefail". Files that are only sourced take their caller's flags.
#   tools/check-scripts.sh [FILE...]   only these files
# Exit 0 when all pass; 1 with the findings; 2 without shellcheck.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v shellcheck >/dev/null || { echo "check-scripts: shellcheck is not installed" >&2; exit 2; }

flags='set -euo pipefail'

# Shell scripts: *.sh files, and files whose #! line names a shell.
shell_scripts() {
  find tools bench tests -type f \( -name '*.sh' -o -perm -u+x \) -not -path '*/__pycache__/*' | sort |
    while read -r file; do
      case $file in
        *.sh) echo "$file" ;;
        *) head -n 1 "$file" | grep -Eq '^#!.*(/|env |busybox )(ba)?sh( |$)' && echo "$file" ;;
      esac
    done
}

# The first command of a script with a #! line is its flags.
flags_of() {
  grep -v -e '^#' -e '^[[:space:]]*$' "$1" | head -n 1
}

if [ $# -gt 0 ]; then files=("$@"); else mapfile -t files < <(shell_scripts); fi
failed=0
for file in "${files[@]}"; do
  if ! shellcheck "$file"; then failed=$((failed + 1)); continue; fi
  if head -n 1 "$file" | grep -q '^#!' && [ "$(flags_of "$file")" != "$flags" ]; then
    echo "$file: its first command is '$(flags_of "$file")', not '$flags'"
    failed=$((failed + 1))
  fi
done
if [ "$failed" -gt 0 ]; then
  echo "check-scripts: $failed of ${#files[@]} scripts fail"
  exit 1
fi
echo "check-scripts: ${#files[@]} scripts pass shellcheck and start with '$flags'"
