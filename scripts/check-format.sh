#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ file is not formatted as the committed .clang-format says.
# The whole tree is kept formatted, so every file is checked; `make format` formats them.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
