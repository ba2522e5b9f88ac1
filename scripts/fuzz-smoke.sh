#!/usr/bin/env bash
# Runs every fuzz target in FUZZ_DIR for SECONDS seconds, starting from its seeds (fuzz/seeds.txt)
# and the saved crash files (tests/data/invalid/). Fails when a target finds a crash.
set -euo pipefail
FUZZ_DIR=${1:?usage: fuzz-smoke.sh FUZZ_DIR SECONDS}
SECONDS_EACH=${2:-15}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for bin in "$FUZZ_DIR"/*_fuzzer; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  work=$(mktemp -d)
  seeds=()
  while read -r fuzzer dirs; do
    [ "$fuzzer" = "$name" ] || continue
    for d in $dirs; do [ -d "$root/$d" ] && seeds+=("$root/$d"); done
  done < <(grep -v '^#' "$root/fuzz/seeds.txt")
  echo "== $name (${SECONDS_EACH}s, seeds: ${seeds[*]:-none})"
  if ! "$bin" -max_total_time="$SECONDS_EACH" -rss_limit_mb=4096 -timeout=10 -print_final_stats=0 \
      -artifact_prefix="$work/" "$work" "${seeds[@]}" >"$work/log" 2>&1; then
    echo "!! $name failed; last lines of its log:"; tail -40 "$work/log"
    for a in "$work"/crash-* "$work"/timeout-* "$work"/oom-* "$work"/leak-*; do
      [ -f "$a" ] && echo "   artifact: $a ($(wc -c <"$a") bytes, base64: $(base64 -w0 "$a" | head -c 400))"
    done
    status=1
  else
    grep -E '^(#[0-9]+ +DONE|Done)' "$work/log" | tail -1 || true
  fi
done
exit $status
