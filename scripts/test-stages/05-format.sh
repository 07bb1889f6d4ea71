#!/usr/bin/env bash
# Every C and C++ source as clang-format (.clang-format) writes it: one check, naming the files
# that differ. Records "format passed failed skipped".
set -uo pipefail
root=${VELMORA_ROOT:?}
record() { echo "format $1 $2 $3" >> "${VELMORA_RESULTS:?}"; }

if ! command -v clang-format > /dev/null; then
  echo "format: clang-format is not installed (scripts/deps.sh build)"; record 0 1 0; exit 1
fi
cd "$root" || exit 1
if [ -d .git ] && command -v git > /dev/null; then
  mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
else
  mapfile -t files < <(find app bench config devices hotkeys keys platform tests tools xu -name '*.c' -o -name '*.cpp' -o -name '*.h')
fi
differ=()
for file in "${files[@]}"; do
  timeout 60 clang-format --dry-run -Werror "$file" > /dev/null 2>&1 || differ+=("$file")
done
if [ "${#differ[@]}" -gt 0 ]; then
  printf 'format: not as clang-format writes it: %s\n' "${differ[@]}"
  echo "format: ${#differ[@]} of ${#files[@]} files differ (clang-format -i FILE...)"
  record 0 1 0; exit 1
fi
echo "format: ${#files[@]} files as clang-format writes them"
record 1 0 0
