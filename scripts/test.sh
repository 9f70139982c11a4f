#!/usr/bin/env bash
# Sets up, builds (normal and ASan+UBSan) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -DZUMT_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -DZUMT_SANITIZE=ON -DZUMT_WERROR=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j "$jobs"

# A short fuzzing run of the reader and the query engine.
bash scripts/fuzz.sh 60
