#!/usr/bin/env bash
# Starts Larkspire from a build folder.
set -euo pipefail
build=${1:-build/default}
exec "$build/larkspire" "${@:2}"
