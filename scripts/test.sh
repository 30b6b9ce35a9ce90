#!/usr/bin/env bash
# Runs every test: installs what is missing, builds all presets, then the tiers
#   native  the portable code with g++, plain and under AddressSanitizer + UBSan
#   win     the Win32 code cross-built with MinGW, run under Wine
#   release what scripts/package.sh makes, made again elsewhere, signed, and its manifests
#   e2e     the real Velkaro.exe in a Wine virtual desktop on Xvfb, and the installer and zips
#           that scripts/package.sh makes
# after checking the formatting of the sources and that the scripts the docs name can be run,
# and ends with "N passed, N failed" over all tiers. Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
mkdir -p build
source scripts/wine-env.sh
tendral_lock_prefix

scripts/setup.sh || exit 1
scripts/build.sh native native-asan mingw-i686 mingw-x86_64 || { echo "0 passed, 1 failed"; exit 1; }

total_passed=0
total_failed=0
count() {  # tier name, passed, failed
  printf '%-28s %s passed, %s failed\n' "$1" "$2" "$3"
  total_passed=$((total_passed + $2))
  total_failed=$((total_failed + $3))
}

# Runs CTest in a build directory and adds its counts.
run_ctest() {
  local name=$1 dir=$2 log=build/$1.ctest.log
  (cd "$dir" && ctest --output-on-failure -j2 --timeout 120) >"$log" 2>&1
  local summary passed failed all
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$summary" ]; then
    echo "$name: no test results, see $log"
    count "$name" 0 1
    return
  fi
  failed=$(sed -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
  all=$(sed -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$summary")
  passed=$((all - failed))
  [ "$failed" -eq 0 ] || sed -n '/The following tests FAILED/,$p' "$log"
  count "$name" "$passed" "$failed"
}

# The code as the project's .clang-format lays it out, in every file git tracks: a difference fails.
format_log=build/format.log
if git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror >"$format_log" 2>&1; then
  count format 1 0
else
  echo "format: files differ from .clang-format (clang-format -i fixes them):"
  grep -oE '^[^: ]+\.(cpp|h)' "$format_log" | sort -u | sed 's/^/    /'
  count format 0 1
fi

# Every script the docs name under scripts/, tests/ or tools/ runs as written there: one that begins with
# "#!" has its run bit in git. Libraries that are only sourced begin otherwise and need none.
unrunnable=$(grep -ohE '\b(scripts|tests|tools)/[A-Za-z0-9_./-]+' README.md HACKING.md docs/*.md |
  sed 's/[.]*$//' | sort -u | while read -r file; do
    [ -f "$file" ] && [ "$(head -c 2 "$file")" = '#!' ] && ! git ls-files -s -- "$file" | grep -q '^100755' && echo "$file"
  done)
if [ -z "$unrunnable" ]; then
  count scripts 1 0
else
  echo "scripts: the docs name these, which git keeps without their run bit (git update-index --chmod=+x):"
  sed 's/^/    /' <<<"$unrunnable"
  count scripts 0 1
fi

run_ctest native build/native
run_ctest native-asan build/native-asan

# Wine tiers. 32-bit programs need a kernel that runs 32-bit code; without it they are built only.
tendral_wine_prefix
tendral_wine_start
run_ctest win-x86_64 build/mingw-x86_64
e2e_bin=build/mingw-x86_64/bin
if tendral_runs_i686; then
  run_ctest win-i686 build/mingw-i686
  e2e_bin=build/mingw-i686/bin
else
  echo "win-i686: not run: no 32-bit code runs here (kernel or 32-bit Wine; built only)"
fi
tendral_wine_stop

# The installer and the zips, which the e2e tier installs and starts; then the release as a whole:
# made again elsewhere, signed, and described to package managers.
if ! scripts/package.sh >build/package.log 2>&1; then
  echo "package: failed, see build/package.log"
  count package 0 1
fi
release_log=build/release.log
tests/release/check.sh >"$release_log" 2>&1
grep -E '^(FAIL|    )' "$release_log"
if read -r _ p _ f _ < <(grep -E '^release: [0-9]+ passed, [0-9]+ failed' "$release_log"); then
  count release "$p" "$f"
else
  echo "release: no results, see $release_log"
  count release 0 1
fi

e2e_log=build/e2e.log
tests/e2e/run.sh "$e2e_bin" 2>&1 | tee "$e2e_log" | grep -E '^(FAIL|SKIP|    )' || true
e2e_summary=$(grep -E '^e2e: [0-9]+ passed, [0-9]+ failed' "$e2e_log" | tail -n 1)
if [ -n "$e2e_summary" ]; then
  read -r _ p _ f _ <<<"$e2e_summary"
  count "e2e ($(basename "$(dirname "$e2e_bin")"))" "$p" "$f"
else
  echo "e2e: no results, see $e2e_log"
  count e2e 0 1
fi

echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
