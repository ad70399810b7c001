#!/usr/bin/env bash
# Checks the dependency rule of docs/architecture.md on every quoted include
# of the code that ships: a file may include headers of its own folder and of
# the folders the rule lets that folder use, by their path from the
# repository's root, and nothing else. Tests, benchmarks and fuzz targets may
# include anything. Prints each include that breaks the rule and exits 1.
#   bash scripts/check_layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# folder: the folders its files may include (its own always).
allowed_for() {
  case "$1" in
    host/api) echo "host/api" ;;
    identity) echo "identity host/api" ;;
    watcher) echo "watcher identity host/api" ;;
    module) echo "module watcher identity host/api" ;;
    text) echo "text" ;;
    dxf) echo "dxf text" ;;
    host/sim) echo "host/sim host/api dxf text" ;;
    tools/cadsim) echo "tools/cadsim host/sim host/api dxf text" ;;
    picture) echo "picture dxf text" ;;
    tools/parts) echo "tools/parts picture dxf text" ;;
    *) return 1 ;;
  esac
}
# The folders whose code ships, longest first so that host/sim/api is judged
# as host/sim and not as host.
layers="host/api host/sim tools/cadsim tools/parts picture identity watcher module text dxf"
module_layers="host/api identity watcher module"

broken=0
for layer in $layers; do
  rules=$(allowed_for "$layer")
  while IFS=: read -r file line include; do
    [ -n "$file" ] || continue
    target=$(sed -E 's/^#include[[:space:]]*["<]([^">]+)[">].*/\1/' <<<"$include")
    if [[ "$include" == *"<"* ]]; then
      # The module's folders use the standard library and host/api alone.
      if [[ " $module_layers " == *" $layer "* && "$target" == */* ]]; then
        echo "$file:$line: includes <$target>: $layer uses the standard library and host/api only" >&2
        broken=1
      fi
      continue
    fi
    ok=0
    if [[ "$target" == */* ]]; then
      for allowed in $rules; do
        [[ "$target" == "$allowed"/* ]] && ok=1
      done
    fi
    if [ "$ok" = 0 ]; then
      if [[ "$target" != */* ]]; then
        echo "$file:$line: includes \"$target\": include headers by their path from the repository's root" >&2
      else
        echo "$file:$line: includes \"$target\": $layer may include only $rules" >&2
      fi
      broken=1
    fi
  done < <(git ls-files "$layer/*.h" "$layer/*.cpp" | xargs -r grep -n -E '^[[:space:]]*#[[:space:]]*include' /dev/null || true)
done
if [ "$broken" = 1 ]; then
  echo "check_layers: includes above break the dependency rule (docs/architecture.md)" >&2
  exit 1
fi
echo "check_layers: clean"
