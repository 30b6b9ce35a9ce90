#!/usr/bin/env bash
# The controller's model over many more generated sequences than the test command runs, each twice as
# long, from a fresh random seed. Prints the shortest sequence of the first few that break a rule and
# how many did; asserts nothing. Usage: scripts/model-run.sh [SEQUENCES], 100000 by default.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh native
TENDRAL_MODEL_SEQUENCES=${1:-100000} build/native/bin/native_tests \
  --gtest_filter='ControllerModel.*' | grep -v '^\[\|^Running main\|^Note:\|^$'
