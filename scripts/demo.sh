#!/usr/bin/env bash
# Builds the module, the simulated host and the runner, then replays the demo
# session with the module loaded from its file.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" >/dev/null
exec build/dev/tools/cadsim/cadsim "${1:-examples/demo.cadsim}"
