#!/usr/bin/env bash
# Makes what users install, in dist/: the Debian package of the Linux tools
# (CPack, from the release build) and a zip of the Windows files (from the
# windows build, which scripts/windows.sh has usually built already). Both
# are named with the version that project() sets.
#
# Environment: PLIVET_JOBS (build jobs, default nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${PLIVET_JOBS:-$(nproc)}
bash scripts/install-packages.sh build bench windows release

echo "== Release build"
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" --target cadsim plivet-parts qormplivet simhost
version=$(build/release/tools/cadsim/cadsim --version | sed -n 's/^cadsim //p')
[ -n "$version" ] || {
  echo "release.sh: the runner printed no version" >&2
  exit 1
}
mkdir -p dist
rm -f dist/plivet_*

echo "== Debian package"
cpack --config build/release/CPackConfig.cmake -B build/release/package >/dev/null
deb=build/release/package/plivet_${version}_amd64.deb
[ -f "$deb" ] || {
  echo "release.sh: CPack made no $deb" >&2
  exit 1
}
cp "$deb" dist/

echo "== Windows zip"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
name=plivet_${version}_win64
stage=$root/build/windows/release/$name
rm -rf "$stage"
mkdir -p "$stage"
for file in qormplivet.dll simhost.dll cadsim.exe plivet-parts.exe; do
  # The windows build is a debug build; users get the code without the
  # debugging information.
  x86_64-w64-mingw32-strip -o "$stage/$file" "build/windows/bin/$file"
done
cp README.md CHANGELOG.md "$stage/"
cp -r examples "$stage/examples"

# The runtimes are linked in statically today; should a file ever import a
# MinGW runtime DLL, it goes into the zip with it, and anything else that is
# neither the system's nor the project's stops the release.
mingw_dirs=(/usr/lib/gcc/x86_64-w64-mingw32/*-win32 /usr/x86_64-w64-mingw32/lib)
system_dll='^(kernel32|msvcrt|user32|advapi32|shell32|ole32|ws2_32|ucrtbase|api-ms-win-.*)\.dll$'
for file in "$stage"/*.dll "$stage"/*.exe; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\tDLL Name: //p'); do
    lower=${dll,,}
    if [[ $lower =~ $system_dll ]] || [ -f "$stage/$lower" ] || [ -f "$stage/$dll" ]; then
      continue
    fi
    found=
    for dir in "${mingw_dirs[@]}"; do
      if [ -f "$dir/$dll" ]; then
        found=$dir/$dll
        break
      fi
    done
    if [ -z "$found" ]; then
      echo "release.sh: $(basename "$file") needs $dll, which is not in the zip" >&2
      exit 1
    fi
    cp "$found" "$stage/"
  done
done
(cd "$stage/.." && rm -f "$name.zip" && zip -qr "$name.zip" "$name")
cp "$stage/../$name.zip" dist/

ls -l dist/plivet_"$version"_amd64.deb dist/"$name".zip
