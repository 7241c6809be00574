#!/usr/bin/env bash
# Installs what is missing, builds ORVANTA and runs every test:
#   1. the whole test suite (CTest) in an optimised build with debug information;
#   2. the same tests once more under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. each libFuzzer target for a fixed number of executions (clang);
#   4. the tests that hand work between threads (window messages, downloads) under
#      ThreadSanitizer.
# Ends non-zero when anything fails. Build folders: build/, build-asan/, build-fuzz/, build-tsan/.
set -uo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
failed=()

# Runs one stage: configure, build, test; remembers the stage's name when a step fails.
# CTEST_FILTER, when set, is a regular expression that picks the tests to run by name;
# BUILD_TARGETS, when set, the only targets built (those that hold the picked tests).
stage() {
    local name=$1 dir=$2
    shift 2
    local select=() targets=()
    [[ -n ${CTEST_FILTER:-} ]] && select=(-R "$CTEST_FILTER" --no-tests=error)
    [[ -n ${BUILD_TARGETS:-} ]] && read -r -a targets <<<"--target $BUILD_TARGETS"
    echo "=== $name ==="
    if cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || {
        cat "$dir.configure.log"
        false
    }; then
        if cmake --build "$dir" -j "$jobs" "${targets[@]}" &&
            ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600 "${select[@]}" |
            tee "$dir.ctest.log"; then
            return 0
        fi
    fi
    failed+=("$name")
}

mkdir -p build build-asan build-fuzz build-tsan
rm -f build*.ctest.log
stage "tests" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
stage "tests with sanitizers" build-asan -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=ON \
    -DORVANTA_BENCHMARKS=OFF
stage "fuzzing" build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANTA_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++
CTEST_FILTER="WindowMessage|Download|Misbehaviours|UpdateCheck" BUILD_TARGETS="orvanta_platform_tests orvanta_net_tests" \
    stage "tests with thread sanitizer" build-tsan \
    -DCMAKE_BUILD_TYPE=Debug -DORVANTA_TSAN=ON -DORVANTA_BENCHMARKS=OFF

# One closing line over all stages, from each CTest summary ("N tests failed out of M"); a
# stage that failed before its tests ran counts as one failure.
read -r passed failing < <(cat build*.ctest.log 2>/dev/null |
    sed -n 's/.* \([0-9]\+\) tests failed out of \([0-9]\+\)$/\1 \2/p' |
    awk '{ f += $1; t += $2 } END { print t - f, f + 0 }')
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "FAILED: ${failed[*]}"
    [[ ${failing:-0} -eq 0 ]] && failing=${#failed[@]}
fi
echo "Total: ${passed:-0} passed, ${failing:-0} failed"
[[ ${#failed[@]} -eq 0 ]]
