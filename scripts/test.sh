#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, then the
# whole suite again built with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/), then the bounded fuzz step (scripts/fuzz.sh, build-fuzz/).
#   DNP_QUICK=1 bash scripts/test.sh    the normal build, its tests and the package check only
set -euo pipefail
cd "$(dirname "$0")/.."
# At the end, whatever the outcome: the tests make their own device nodes, and a broken
# output check must never have replaced the machine's /dev/null with a regular file.
check_dev_null() {
  local status=$?
  if [ ! -c /dev/null ]; then
    echo "scripts/test.sh: FAILED: /dev/null is no longer a character device; a test wrote over it" >&2
    exit 1
  fi
  exit "$status"
}
trap check_dev_null EXIT
bash scripts/setup.sh
# CI builds with warnings as errors.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDNP_WERROR=ON >/dev/null
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j 2 --timeout 120
bash scripts/package-check.sh   # the Debian package from build/: its files, Depends, programs
if [ -n "${DNP_QUICK:-}" ]; then
  exit 0
fi

# Every report of the sanitizers fails the run: ASan and UBSan (built with
# -fno-sanitize-recover) stop the program at the first one, LeakSanitizer fails it at
# its end, each with exit status 86, in the test programs and in the dnpcfg and
# dnp-panel-sim processes they start.
# -O1 and line tables only: the sanitizers' stacks keep their lines, the build is faster.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DDNP_SANITIZE=ON -DDNP_WERROR=ON -DDNP_BENCH=OFF >/dev/null
cmake --build build-asan -j "$(nproc)"
ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:exitcode=86 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=86 \
  ctest --test-dir build-asan --output-on-failure -j 2 --timeout 240

bash scripts/fuzz.sh
