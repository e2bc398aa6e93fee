#!/usr/bin/env bash
# Installs what is needed, builds every preset and runs every test:
#   layers       every #include goes down the layer order (scripts/check-layers.py)
#   format       every C++ file as .clang-format lays it out (scripts/check-format.sh)
#   native       unit tests and a benchmark smoke run
#   native-asan  the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   win32        the 32-bit Windows release build and its tests under Wine;
#                then two more builds of the committed release, which must give
#                the same bytes (scripts/check-reproducible.sh)
#   win32-unit   the GoogleTest programs under Wine, against that build's DLL
#   fuzz         a short libFuzzer run of every fuzz target (scripts/fuzz.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== layers and format =="
python3 scripts/check-layers.py
bash scripts/check-format.sh

jobs=$(nproc)
for preset in native native-asan win32 win32-unit; do
    echo "== $preset =="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
    if [ "$preset" = win32 ]; then
        echo "== reproducible release =="
        bash scripts/check-reproducible.sh
    fi
done

echo "== fuzz =="
bash scripts/fuzz.sh 20
