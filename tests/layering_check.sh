#!/usr/bin/env bash
# Fails when a source folder includes a header of a folder above it, or when
# anything below ui/ includes Qt.
set -u
src=${1:?source directory}
order=(util container log settings ftp sync ui app cli)
rank() { local i; for i in "${!order[@]}"; do [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }; done; echo -1; }
status=0
for dir in "${order[@]}"; do
  [ -d "$src/$dir" ] || continue
  mine=$(rank "$dir")
  while IFS= read -r line; do
    file=${line%%:*}
    inc=$(sed -E 's/.*#include *"([a-z_]+)\/.*/\1/' <<<"$line")
    other=$(rank "$inc")
    [ "$other" -lt 0 ] && continue
    allowed=1
    if [ "$other" -gt "$mine" ]; then allowed=0; fi
    # the command-line front end sits on sync beside ui, not on it
    if [ "$dir" = cli ] && { [ "$inc" = ui ] || [ "$inc" = app ]; }; then allowed=0; fi
    if [ "$allowed" = 0 ]; then echo "layering: $file includes $inc/"; status=1; fi
  done < <(grep -rHE '#include *"[a-z_]+/' "$src/$dir" 2>/dev/null)
  if [ "$mine" -lt "$(rank ui)" ] && [ "$dir" != cli ] || [ "$dir" = cli ]; then
    if grep -rlE '#include *<Q[A-Za-z]' "$src/$dir" >/dev/null 2>&1; then
      echo "layering: $dir/ includes Qt"; grep -rlE '#include *<Q[A-Za-z]' "$src/$dir"; status=1
    fi
  fi
done
[ "$status" = 0 ] && echo "layering: ok"
exit $status
