#!/usr/bin/env bash
# Installs what is missing, builds, and starts the terminal against the embedded exchange.
source "$(dirname "$0")/common.sh"
install_packages "${TARN_PACKAGES_BUILD[@]}"
build_main ON
exec "$TARN_ROOT/build/bin/tarn" "$@"
