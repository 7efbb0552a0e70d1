#!/usr/bin/env bash
# Checks the platform boundary of the two deliverables (sntp/, quickintro/):
# only the files in a win32/ folder include a Windows header; every other
# source file is platform-free and compiled by the native build.
#   tools/check-platform.sh
# Needs the native preset configured (its compile commands). Exit 0 when the
# boundary holds; 1 with one line per file that crosses it.
set -euo pipefail
cd "$(dirname "$0")/.."
commands=build/native/compile_commands.json
[ -f "$commands" ] || { echo "check-platform: $commands missing: configure the native preset first" >&2; exit 2; }

# The system headers of Windows and Winsock, as the code includes them.
windows_header='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(windows|winsock2?|ws2tcpip|ntsecapi|commctrl|shellapi|mmsystem|objbase|shlobj|winreg|winuser|wingdi|winbase|windef|wincrypt|winerror)\.h>'
win32_edge() { [[ $1 == */win32/* ]]; }

findings=()
while read -r file; do
  if win32_edge "$file"; then continue; fi
  if grep -Eiq "$windows_header" "$file"; then
    findings+=("$file: includes a Windows header outside a win32/ folder")
  elif [[ $file == *.cpp ]] && ! grep -qF "\"file\": \"$PWD/$file\"" "$commands"; then
    findings+=("$file: the native build does not compile it (a Win32 file belongs in a win32/ folder)")
  fi
done < <(git ls-files 'sntp/*.cpp' 'sntp/*.h' 'quickintro/*.cpp' 'quickintro/*.h')

if [ ${#findings[@]} -gt 0 ]; then
  printf '%s\n' "${findings[@]}"
  echo "check-platform: ${#findings[@]} files cross the platform boundary"
  exit 1
fi
echo "check-platform: Windows headers only in the win32/ folders; the rest builds natively"
