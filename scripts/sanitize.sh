#!/usr/bin/env bash
# Builds the Qt-free layers and their tests with AddressSanitizer and UndefinedBehaviorSanitizer
# (or the sanitizers given as $1, e.g. "thread") and runs those tests.
source "$(dirname "$0")/common.sh"
install_packages "${TARN_PACKAGES_BUILD[@]}" "${TARN_PACKAGES_TEST[@]}"
san="${1:-address,undefined}"
dir="$TARN_ROOT/build-${san//,/-}"
cmake -S "$TARN_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" \
      -DTARN_WITH_QT=OFF -DTARN_TESTS=ON -DTARN_SANITIZE="$san" >/dev/null
cmake --build "$dir" -j "$JOBS"
cd "$dir"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest -j "$JOBS" --output-on-failure --timeout 900
