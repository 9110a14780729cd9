#!/usr/bin/env bash
# Fails when any C++ file of the project strays from .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || true)
[ -z "$files" ] && exit 0
if ! clang-format --dry-run --Werror $files; then
  echo "Formatting differs from .clang-format: run 'make format'." >&2
  exit 1
fi
