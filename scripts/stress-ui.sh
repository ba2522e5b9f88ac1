#!/usr/bin/env bash
# Runs the user-interface tests RUNS times with every core kept busy by a spinning process, and
# prints how many runs passed. A test that waits for time or for one round of events instead of
# a condition shows up here long before it blocks a landing.
#   scripts/stress-ui.sh BUILD_DIR [RUNS]
set -uo pipefail
build=${1:?usage: stress-ui.sh BUILD_DIR [RUNS]}
runs=${2:-30}
spinners=()
stop_spinners() { [ ${#spinners[@]} -eq 0 ] || kill "${spinners[@]}" 2>/dev/null; wait 2>/dev/null; }
trap stop_spinners EXIT
for _ in $(seq "$(nproc)"); do
  (while :; do :; done) &
  spinners+=($!)
done
passed=0 failed=0
for i in $(seq "$runs"); do
  if (cd "$build" && QT_QPA_PLATFORM=offscreen ctest -R '^ui\.' --output-on-failure >"/tmp/kv-stress-ui.$i.log" 2>&1); then
    passed=$((passed + 1)); rm -f "/tmp/kv-stress-ui.$i.log"
  else
    failed=$((failed + 1)); echo "run $i failed: /tmp/kv-stress-ui.$i.log"
  fi
done
echo "stress-ui: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
