# Shared by the set-up scripts: package installation and the build.
set -euo pipefail

TARN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export CCACHE_BASEDIR="$TARN_ROOT"
export CCACHE_NOHASHDIR=1
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-8G}"
JOBS="${TARN_JOBS:-$(nproc 2>/dev/null || echo 2)}"

# Packages the build and the terminal need.
TARN_PACKAGES_BUILD=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-multimedia-dev libgl-dev libasound2-dev
  libsodium-dev libsqlite3-dev libtinyxml-dev libasio-dev libssl-dev
  fonts-wqy-microhei
)
# Further packages the tests, the sanitizer and fuzz runs and the screenshots need.
TARN_PACKAGES_TEST=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth
)
# Further packages scripts/package.sh needs to make and check the Debian packages.
TARN_PACKAGES_PACKAGE=(
  dpkg-dev file desktop-file-utils xz-utils
)

# Installs whichever of the given packages are missing: as root directly, otherwise through
# sudo. A second run finds everything installed and touches nothing.
install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local run=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      run=(sudo)
    else
      echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
      exit 1
    fi
  fi
  "${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures (once) and builds the main build in build/.
build_main() {
  local tests="$1"
  cmake -S "$TARN_ROOT" -B "$TARN_ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTARN_WITH_QT=ON -DTARN_TESTS="$tests" >/dev/null
  cmake --build "$TARN_ROOT/build" -j "$JOBS"
}
