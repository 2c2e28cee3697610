#!/usr/bin/env bash
# Fails when a C++ file of the repository differs from what the checked-in .clang-format makes
# of it, and lists those files. scripts/install-deps.sh --tests installs clang-format.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
command -v clang-format >/dev/null || { echo "check-format: clang-format is missing" >&2; exit 1; }
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sort)
fi
drifted=()
for file in "${files[@]}"; do
  [[ -f "$file" ]] || continue
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || drifted+=("$file")
done
if ((${#drifted[@]})); then
  echo "check-format: ${#drifted[@]} of ${#files[@]} files differ from .clang-format (run clang-format -i on them):" >&2
  printf '  %s\n' "${drifted[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files match .clang-format"
