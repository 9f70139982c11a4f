#!/bin/bash
# The side-by-side benchmark in one command: builds zumt-bench (Release, in
# build-bench unless BENCH_BUILD_DIR says otherwise), installs SheetJS into
# bench/node when it is missing, generates the corpus into bench/corpus
# (cached: only forms whose recipe changed are rebuilt) and prints the table.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BENCH_BUILD_DIR:-$root/build-bench}
corpus=${BENCH_CORPUS_DIR:-$here/corpus}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZUMT_BUILD_UI=OFF >/dev/null
cmake --build "$build" --target zumt-bench -j2 >/dev/null
if [ ! -d "$here/node/node_modules/xlsx" ]; then
  (cd "$here/node" && npm ci --no-audit --no-fund >/dev/null)
fi
/usr/bin/python3 "$here/make_corpus.py" "$corpus"
/usr/bin/python3 "$here/run_bench.py" "$build/zumt-bench" "$corpus"
