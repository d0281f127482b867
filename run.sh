#!/usr/bin/env bash
# Builds Tovanel and starts it on the given file, or on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tovanel
file="${1:-examples/kontakte.vcf}"
exec build/src/app/tovanel "$(realpath "$file")"
