#!/usr/bin/env bash
# Formats every C++ file of the project with .clang-format; with --check it
# only reports the files that do not follow it (and fails).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run -Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
