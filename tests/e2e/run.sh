#!/usr/bin/env bash
# End-to-end scenarios: the real Velkaro.exe in a Wine virtual desktop on its own Xvfb display.
# Usage: tests/e2e/run.sh BIN_DIR [PATTERN]: every scenario, or those whose name contains PATTERN.
# Prints one line per scenario and "e2e: N passed, M failed, K not run"; a scenario that cannot run
# here sets E2E_SKIP to the reason.
set -u
here=$(cd "$(dirname "$0")" && pwd)
export E2E_BIN=$(cd "$1" && pwd)
source "$here/lib.sh"
tendral_lock_prefix
for file in "$here"/scenarios/*.sh; do
  source "$file"
done

e2e_start_desktop yes || { echo "e2e: 0 passed, 1 failed"; e2e_stop_desktop; exit 1; }
trap 'driver_remove; e2e_stop_desktop' EXIT

passed=0
failed=0
skipped=0
for scenario in $(declare -F | awk '{print $3}' | grep '^scenario_' | grep -- "${2:-}"); do
  E2E_FAILURES=()
  E2E_NEW_REFERENCES=()
  E2E_SKIP=
  driver_install  # every scenario starts with a working driver; some change or remove it
  "$scenario"
  velkaro_stop_all
  sim_stop
  if [ -n "$E2E_SKIP" ]; then
    skipped=$((skipped + 1))
    echo "SKIP ${scenario#scenario_}: not run: $E2E_SKIP"
  elif [ ${#E2E_FAILURES[@]} -eq 0 ]; then
    passed=$((passed + 1))
    echo "PASS ${scenario#scenario_}"
    [ ${#E2E_NEW_REFERENCES[@]} -eq 0 ] || printf '%s\0' "${E2E_NEW_REFERENCES[@]}" | xargs -0 -n 2 cp -v
  else
    failed=$((failed + 1))
    echo "FAIL ${scenario#scenario_}"
    printf '    %s\n' "${E2E_FAILURES[@]}"
  fi
done
echo "e2e: $passed passed, $failed failed, $skipped not run"
[ "$failed" -eq 0 ]
