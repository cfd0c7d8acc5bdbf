#!/usr/bin/env bash
# Sets up (packages, configure, build) and starts the main program on the default data folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ -x build/bin/ov98 ]; then
  exec build/bin/ov98 "$@"
fi
echo "run: everything is built, but the main program (ov98) is not there yet."
