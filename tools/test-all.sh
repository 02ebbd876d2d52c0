#!/usr/bin/env bash
# Runs every test tier: formatting, native, native with address/undefined-behaviour
# sanitizers and the fuzz targets, native with the thread sanitizer, the win64 build with
# its tests under Wine, and the i686 build (compiled, not run: this machine cannot start
# 32-bit programs) with the installer packages.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
logdir="$root/build/test-logs"
mkdir -p "$logdir"

passed=0
failed=0
failures=()

# Tiers to run: all by default, or those named on the command line
# (format native native-asan native-tsan win64 win32).
wanted=("$@")
want() {
    [ ${#wanted[@]} -eq 0 ] && return 0
    local t
    for t in "${wanted[@]}"; do [ "$t" = "$1" ] && return 0; done
    return 1
}

tier() { printf '\n==== %s ====\n' "$1"; }

# Adds one ctest run's counts to the totals.
count_ctest() {
    local log=$1 name=$2
    local line total fails
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        failures+=("$name: no test result")
        return
    fi
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - fails))
    failed=$((failed + fails))
    [ "$fails" -eq 0 ] || failures+=("$name: $fails failed")
}

run_preset() {
    local preset=$1
    tier "$preset"
    if ! cmake --preset "$preset" >"$logdir/$preset-configure.log" 2>&1; then
        tail -n 40 "$logdir/$preset-configure.log"
        failed=$((failed + 1)); failures+=("$preset: configure failed"); return 1
    fi
    if ! cmake --build --preset "$preset" >"$logdir/$preset-build.log" 2>&1; then
        grep -E 'error|FAILED' "$logdir/$preset-build.log" | head -n 40
        failed=$((failed + 1)); failures+=("$preset: build failed"); return 1
    fi
    echo "built $preset"
}

run_ctest() {
    local preset=$1
    ctest --preset "$preset" 2>&1 | tee "$logdir/$preset-test.log" | grep -vE '^ +[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' || true
    count_ctest "$logdir/$preset-test.log" "$preset"
}

if want format; then
tier "format"
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if clang-format --dry-run -Werror "${sources[@]}" >"$logdir/format.log" 2>&1; then
    echo "format: clean (${#sources[@]} files)"
    passed=$((passed + 1))
else
    head -n 40 "$logdir/format.log"
    failed=$((failed + 1)); failures+=("format")
fi
fi

for preset in native native-asan native-tsan; do
    if want "$preset"; then
        run_preset "$preset" && run_ctest "$preset"
    fi
done

# The Windows build's tests run under Wine, in one prefix and on one display for the whole run.
if want win64 && run_preset win64; then
    source tools/wine-session.sh
    wine_session_start "$logdir"
    run_ctest win64
    wine_session_stop
    # The installer's end-to-end run reports what it got through.
    grep -h '^installer:' build/win64/Testing/Temporary/LastTest.log || true
fi

# The i686 executable cannot run here, but its import table can be read; and its installer
# package is checked against the x64 one.
if want win32 && run_preset win32; then
    if python3 tests/pe/check_imports.py build/win32/bin/Tavelo.exe >"$logdir/win32-imports.log" 2>&1; then
        passed=$((passed + 1))
    else
        cat "$logdir/win32-imports.log"
        failed=$((failed + 1)); failures+=("win32: import check")
    fi
    if bash tools/package.sh; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1)); failures+=("package")
    fi
fi

echo
for f in "${failures[@]}"; do echo "FAILED: $f"; done
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
