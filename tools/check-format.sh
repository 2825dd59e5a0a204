#!/bin/sh
# Fails when a tracked C++ source is not as `clang-format` with the repository's .clang-format leaves it.
set -eu
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
