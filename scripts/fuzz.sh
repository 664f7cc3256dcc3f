#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each over its seed corpus for a
# fixed time ($1 seconds each, default 20). New inputs found go to a scratch folder, so the
# committed corpus stays as it is. The mutations follow a fixed seed (TARN_FUZZ_SEED, default 1),
# so a run repeats: a crash it finds is found again, and a run that passed passes again. Set
# TARN_FUZZ_SEED=0 for a fresh seed each run when hunting.
source "$(dirname "$0")/common.sh"
install_packages "${TARN_PACKAGES_BUILD[@]}" "${TARN_PACKAGES_TEST[@]}"
secs="${1:-20}"
seed="${TARN_FUZZ_SEED:-1}"
dir="$TARN_ROOT/build-fuzz"
cmake -S "$TARN_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DTARN_WITH_QT=OFF -DTARN_TESTS=OFF -DTARN_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$JOBS"
for target in "$dir"/fuzzers/*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="$TARN_ROOT/fuzz/corpus/$name"
  scratch="$(mktemp -d)"
  # A target without seeds yet starts from nothing instead of failing the run.
  [ -d "$corpus" ] || corpus="$scratch"
  echo "== fuzzing $name for ${secs}s"
  "$target" -max_total_time="$secs" -max_len=65536 -rss_limit_mb=2048 -timeout=10 -seed="$seed" \
            -print_final_stats=1 "$scratch" "$corpus" 2>&1 | tail -n 12
  rm -rf "$scratch"
done
