#!/usr/bin/env bash
# The bounded fuzz step of CI: builds the libFuzzer targets with clang in build-fuzz/
# and runs each for a fixed number of inputs, starting from the committed seed corpus
# and regression inputs. Any crash, sanitizer report, hang or broken invariant fails
# the step; the input that caused it is left in build-fuzz/crashes/<target>/.
#   FUZZ_SCALE=10 bash scripts/fuzz.sh    ten times as many inputs (and time)
#   FUZZ_SEED=7 bash scripts/fuzz.sh      other mutations than CI's fixed seed
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDNP_WITH_GUI=OFF -DDNP_FUZZ=ON >/dev/null
fi
cmake --build build-fuzz -j "$(nproc)" --target fuzz_all

scale=${FUZZ_SCALE:-1}
seed=${FUZZ_SEED:-1}
# Inputs per target: each takes some 15-30 s on one core.
declare -A runs=([config_file]=6000 [ini]=15000 [reply]=40000 [image]=2000 [point_list]=12000)
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in config_file ini reply image point_list; do
  work=build-fuzz/corpus/$target
  crashes=build-fuzz/crashes/$target
  mkdir -p "$work" "$crashes"
  inputs=("$work" "fuzz/corpus/$target")
  if [ -d "fuzz/regressions/$target" ]; then inputs+=("fuzz/regressions/$target"); fi
  log=build-fuzz/fuzz_$target.log
  n=$((runs[$target] * scale))
  if ! build-fuzz/fuzz/fuzz_$target -runs="$n" -max_total_time=$((120 * scale)) -seed="$seed" -timeout=10 \
       -rss_limit_mb=4096 -artifact_prefix="$crashes/" "${inputs[@]}" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "fuzz_$target failed; the input is in $crashes/. Once fixed, keep it in fuzz/regressions/$target/." >&2
    exit 1
  fi
  echo "fuzz_$target: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)"
done
