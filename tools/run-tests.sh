#!/usr/bin/env bash
# Builds and runs every test: the debug build, then the sanitizer build (ASan + UBSan).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
for preset in default asan; do
    echo "== $preset: configure and build"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    echo "== $preset: tests"
    ctest --preset "$preset" -j "$jobs"
done
