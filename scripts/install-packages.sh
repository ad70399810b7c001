#!/usr/bin/env bash
# Installs the Debian packages that a group of tasks needs (as root). When
# every package of the groups asked for is installed already it does
# nothing, so it needs no network then.
#   bash scripts/install-packages.sh GROUP...
# Groups:
#   build    compiler, CMake, and the libraries the dev build links (the demo)
#   test     the independent DXF reader of the round-trip tests; SVG rendering;
#            two other programs that write DXF (pstoedit, GDAL's ogr2ogr);
#            a browser that renders the runner's session page (chromium)
#   bench    Google Benchmark and the instruction counts of scripts/bench.sh
#   windows  the MinGW-w64 cross-build and wine to run it
#   fuzz     clang and libFuzzer
#   lint     clang-format and clang-tidy (scripts/lint.sh)
#   release  the Debian package and the Windows zip (scripts/release.sh)
#   all      every group
set -euo pipefail

declare -A packages=(
  [build]="cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev"
  [test]="python3-ezdxf librsvg2-bin pstoedit gdal-bin chromium"
  [bench]="libbenchmark-dev valgrind"
  [windows]="g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64"
  [fuzz]="clang libclang-rt-14-dev"
  [lint]="clang-format clang-tidy"
  [release]="dpkg-dev file zip unzip"
)

if [ "$#" -eq 0 ]; then
  sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
fi

wanted=()
for group in "$@"; do
  if [ "$group" = all ]; then
    for every in build test bench windows fuzz lint release; do
      wanted+=(${packages[$every]})
    done
  elif [ -n "${packages[$group]+set}" ]; then
    wanted+=(${packages[$group]})
  else
    echo "install-packages: unknown group \"$group\"" >&2
    exit 2
  fi
done

missing=()
for package in "${wanted[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

echo "installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -q >/dev/null
apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
