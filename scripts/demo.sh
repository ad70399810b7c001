#!/usr/bin/env bash
# Builds the module, the simulated host and the runner, then replays the demo
# session with the module loaded from its file. On a fresh machine it first
# installs the few packages the build needs (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
needed=(cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev)
missing=()
for package in "${needed[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" --target cadsim qormplivet >/dev/null
exec build/dev/tools/cadsim/cadsim "${1:-examples/demo.cadsim}"
