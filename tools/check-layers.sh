#!/usr/bin/env bash
# Checks that the includes between the folders of each deliverable point
# down its layers: a file includes its own folder's headers or those of a
# folder below, never one above, so that a reader follows a query or a
# picture downwards and never climbs back.
#   tools/check-layers.sh
# Exit 0 when every include points down; 1 with one line per include that
# points up, or per folder that has no place in the layers below.
set -euo pipefail
cd "$(dirname "$0")/.."

# The layers, top first. Each folder's win32/ (its Windows edge) stands above
# the folder's platform-free part.
layers=(
  sntp/library/win32 sntp/library  # the exports and their query driver
  sntp/client                      # the SNTP client, its codec and checks
  sntp/platform/win32 sntp/platform  # what the client takes from the system
  sntp/socket/win32 sntp/socket    # the event-driven socket, Winsock binding
  sntp/timer/win32 sntp/timer      # the exchange's timer threads
  sntp/win32                       # the Win32 toolkit
  sntp/common                      # the component base, the texts of a server
  quickintro/win32                 # the wizard's window, pages and drawing
  quickintro                       # its layout and navigation
  quickintro/gif                   # the picture reader
)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

findings=()
while read -r file; do
  folder=$(dirname "$file")
  if [ -z "${rank[$folder]+set}" ]; then
    findings+=("$file: its folder $folder has no place in the layers of tools/check-layers.sh")
    continue
  fi
  while read -r included; do
    below=$(dirname "$included")
    if [ "${included%%/*}" != "${file%%/*}" ]; then
      findings+=("$file includes $included: the two deliverables share no code")
    elif [ -z "${rank[$below]+set}" ]; then
      findings+=("$file includes $included: $below has no place in the layers")
    elif [ "${rank[$below]}" -lt "${rank[$folder]}" ]; then
      findings+=("$file includes $included: $below stands above $folder")
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\(\(sntp\|quickintro\)\/[^"]*\)".*/\1/p' "$file")
done < <(git ls-files 'sntp/*.cpp' 'sntp/*.h' 'quickintro/*.cpp' 'quickintro/*.h')

if [ ${#findings[@]} -gt 0 ]; then
  printf '%s\n' "${findings[@]}"
  echo "check-layers: ${#findings[@]} includes or folders break the layers"
  exit 1
fi
echo "check-layers: every include points down the layers"
