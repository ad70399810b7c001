#!/usr/bin/env bash
# Builds the module, the simulated host and the runner, then replays the demo
# session with the module loaded from its file. On a fresh machine it first
# installs the packages the build needs, and only those (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh build
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" --target cadsim qormplivet >/dev/null
exec build/dev/tools/cadsim/cadsim "${1:-examples/demo.cadsim}"
