#!/usr/bin/env bash
# Sets up, builds and runs every test headless: once as a normal build, once
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

# The code follows .clang-format.
bash scripts/format.sh --check

bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j2 --timeout 300

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
bash scripts/build.sh build-asan -DZRA_SANITIZE=ON
ctest --test-dir build-asan --output-on-failure -j2 --timeout 300
bash scripts/fuzz.sh 10

# The .deb (Release, in build-deb/): unpacked and checked, then lintian.
bash scripts/package-check.sh
