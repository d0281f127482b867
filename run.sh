#!/usr/bin/env bash
# Builds Tovanel and starts it on the given file, or on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build
cmake --preset normal >/dev/null
cmake --build --preset normal --target tovanel
file="${1:-examples/kontakte.vcf}"
exec build/src/app/tovanel "$(realpath "$file")"
