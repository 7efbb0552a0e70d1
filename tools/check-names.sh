#!/usr/bin/env bash
# Checks the naming style of CONTRIBUTING.md with clang-tidy (rules in
# .clang-tidy): the platform-free code through the native build's compile
# commands, the Win32 edge through those of the x86_64 Windows build.
#   tools/check-names.sh [PATH...]   only sources below these paths
# Needs the presets native and windows-x64 configured. Exit 0 when every name
# keeps the style, 1 with one line per name that does not.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=build/native/compile_commands.json
windows=build/windows-x64/compile_commands.json
for db in "$native" "$windows"; do
  [ -f "$db" ] || { echo "check-names: $db missing: configure its preset first" >&2; exit 2; }
done
command -v clang-tidy >/dev/null || { echo "check-names: clang-tidy is not installed" >&2; exit 2; }

# The project's own sources of a build, optionally below the given paths.
sources_of() {
  /usr/bin/python3 - "$1" "$root" "${@:2}" <<'PY'
import json, os, sys
db, root, *paths = sys.argv[1:]
want = [os.path.join(root, p.rstrip('/')) for p in paths] or [root]
seen = set()
for entry in json.load(open(db)):
    f = os.path.normpath(os.path.join(entry['directory'], entry['file']))
    if f.startswith(root + '/build/') or not f.startswith(root + '/') or f in seen:
        continue
    if any(f == w or f.startswith(w + '/') for w in want):
        seen.add(f)
        print(f)
PY
}

# The mingw C++ headers, which clang does not find by itself.
gcc_dirs=(/usr/lib/gcc/x86_64-w64-mingw32/*-posix)
gcc_dir=${gcc_dirs[0]}
windows_args=(--extra-arg=--target=x86_64-w64-mingw32
              "--extra-arg=-isystem$gcc_dir/include/c++"
              "--extra-arg=-isystem$gcc_dir/include/c++/x86_64-w64-mingw32")

native_sources=$(sources_of "$native" "$@")
# A file in both builds is checked once, natively.
windows_sources=$(comm -13 <(sort <<<"$native_sources") <(sources_of "$windows" "$@" | sort))

# Only names in this repository's files count: clang-tidy also reports, with
# no file at all, a name it makes up inside the standard headers.
findings=$( {
  [ -z "$native_sources" ] || xargs -P 2 -n 8 clang-tidy -quiet -p build/native <<<"$native_sources" || true
  [ -z "$windows_sources" ] || xargs -P 2 -n 8 clang-tidy -quiet -p build/windows-x64 "${windows_args[@]}" <<<"$windows_sources" || true
} 2>/dev/null | { grep -F '[readability-identifier-naming]' || true; } | { grep "^$root/" || true; } |
  sed "s|^$root/||" | sort -u)

if [ -n "$findings" ]; then
  echo "$findings"
  echo "check-names: $(wc -l <<<"$findings") names do not keep the style of CONTRIBUTING.md"
  exit 1
fi
echo "check-names: every name keeps the style"
