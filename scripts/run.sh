#!/usr/bin/env bash
# Builds Pictorum and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
if [ -x build/default/app/pictorum ]; then
    exec build/default/app/pictorum
else
    echo "Pictorum is built, but the main window is not there yet: nothing to start."
fi
