#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
source "$(dirname "$0")/common.sh"
install_packages "${TARN_PACKAGES_BUILD[@]}" "${TARN_PACKAGES_TEST[@]}"
build_main ON
cd "$TARN_ROOT/build"
ctest -j "$JOBS" --output-on-failure --timeout 600
