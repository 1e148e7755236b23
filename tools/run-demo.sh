#!/usr/bin/env bash
# Starts the workbench from the build folder given as the first argument.
set -euo pipefail
BUILD=${1:-build}
exec "$BUILD/bin/shopdesk" "${@:2}"
