#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 60)
# on its seed corpus, failing on the first finding. Findings are kept under
# the build folder's findings/, with the input that caused them.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD:-build-fuzz}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DQUORVEL_FUZZ=ON -DQUORVEL_WERROR="${WERROR:-OFF}" >/dev/null
cmake --build "$build" -j "$(nproc)"
mkdir -p "$build/findings"
for target in catalogue grammar profile arithmetic sjis record wav; do
  work="$build/corpus/$target"
  mkdir -p "$work"
  echo "fuzz-$target: ${seconds}s"
  # New inputs go to the work folder; the seeds in the repository stay as they are.
  "$build/tests/fuzz/fuzz-$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
    "$work" "tests/fuzz/corpus/$target" 2>"$build/fuzz-$target.log" || {
      tail -n 40 "$build/fuzz-$target.log"
      echo "fuzz-$target: finding saved under $build/findings/" >&2
      exit 1
    }
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|cov: ' "$build/fuzz-$target.log" | tail -n 3
done
