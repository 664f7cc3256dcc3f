#!/usr/bin/env bash
# Builds the Debian packages into build/package (tarn, and tarnd when the build has the
# server). With --check it also checks them:
#   - the metadata names the dependencies the executables need;
#   - the contents: executables, every shipped data file, desktop entry (validated), icons;
#   - an installed terminal (dpkg-deb -x into a temporary root) with a fresh HOME makes its
#     per-user program directory, writes the screenshots, answers --help / --version / a wrong
#     option in the usual way, and writes nothing under the installed tree;
#   - an upgrade keeps the user's changed files and adds a newly shipped one.
source "$(dirname "$0")/common.sh"

CHECK=0
case "${1:-}" in
  --check) CHECK=1 ;;
  "") ;;
  -h|--help) echo "usage: scripts/package.sh [--check]"; exit 0 ;;
  *) echo "package.sh: unrecognized option '$1'" >&2; echo "usage: scripts/package.sh [--check]" >&2; exit 2 ;;
esac

install_packages "${TARN_PACKAGES_BUILD[@]}" "${TARN_PACKAGES_PACKAGE[@]}"

BUILD="$TARN_ROOT/build"
OUT="$BUILD/package"
# A build that exists is only brought up to date; a fresh one is made without the tests.
if [ -f "$BUILD/CMakeCache.txt" ]; then
  cmake --build "$BUILD" -j "$JOBS"
else
  build_main OFF
fi

start=$(date +%s)
rm -rf "$OUT"
(cd "$BUILD" && cpack -G DEB -B "$OUT" >/dev/null)
rm -rf "$OUT/_CPack_Packages"
end=$(date +%s)
shopt -s nullglob
debs=("$OUT"/*.deb)
[ ${#debs[@]} -gt 0 ] || { echo "package.sh: cpack made no package" >&2; exit 1; }
for deb in "${debs[@]}"; do
  echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) KiB"
done
echo "packaging took $((end - start)) s"
[ "$CHECK" -eq 1 ] || exit 0

fail() { echo "package check FAILED: $*" >&2; exit 1; }
TERMINAL_DEB=("$OUT"/tarn_*.deb)
[ ${#TERMINAL_DEB[@]} -eq 1 ] || fail "expected one tarn_*.deb in $OUT"
DEB="${TERMINAL_DEB[0]}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# --- Metadata: the package name, and dependencies from the linked libraries and the font.
[ "$(dpkg-deb -f "$DEB" Package)" = tarn ] || fail "package name is not tarn"
depends="$(dpkg-deb -f "$DEB" Depends)"
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libsodium libsqlite3 libasound2 libtinyxml fonts-wqy-microhei; do
  grep -q "$dep" <<<"$depends" || fail "Depends lacks $dep: $depends"
done

# --- Contents.
dpkg-deb -c "$DEB" | awk '{print $NF}' | sed 's|^\./|/|' >"$WORK/contents"
want=(/usr/bin/tarn /usr/bin/tarnctl /usr/share/applications/tarn.desktop
      /usr/share/icons/hicolor/256x256/apps/tarn.png /usr/share/icons/hicolor/32x32/apps/tarn.png)
while IFS= read -r -d '' f; do
  want+=("/usr/share/tarn/${f#"$TARN_ROOT/assets/"}")
done < <(find "$TARN_ROOT/assets" -type f ! -path "$TARN_ROOT/assets/tools/*" ! -name CMakeLists.txt -print0)
for f in "${want[@]}"; do
  grep -qxF "$f" "$WORK/contents" || fail "the package lacks $f"
done
# Nothing of a build's own program directory (accounts, exchange databases) is shipped.
! grep -q "^/usr/share/tarn/user/" "$WORK/contents" || fail "the package ships user/ files"

ROOT="$WORK/root"
dpkg-deb -x "$DEB" "$ROOT"
for exe in tarn tarnctl; do
  file "$ROOT/usr/bin/$exe" | grep -q "ELF 64-bit.*executable.*stripped" || fail "$exe is no stripped executable"
  if file "$ROOT/usr/bin/$exe" | grep -q "not stripped"; then fail "$exe is not stripped"; fi
done
desktop-file-validate "$ROOT/usr/share/applications/tarn.desktop" || fail "the desktop entry does not validate"
grep -qx "Name=Tarn交易分析终端" "$ROOT/usr/share/applications/tarn.desktop" || fail "the desktop entry's name"
file "$ROOT/usr/share/icons/hicolor/256x256/apps/tarn.png" | grep -q "PNG image data, 256 x 256" || fail "256 px icon"
file "$ROOT/usr/share/icons/hicolor/32x32/apps/tarn.png" | grep -q "PNG image data, 32 x 32" || fail "32 px icon"
if command -v apt-get >/dev/null; then
  apt-get install -s -q "$DEB" >"$WORK/apt.log" 2>&1 || { cat "$WORK/apt.log" >&2; fail "apt cannot install the package"; }
fi

# --- The installed terminal, run as a user who never ran it.
export HOME="$WORK/home"
mkdir -p "$HOME"
unset TARN_HOME XDG_DATA_HOME XDG_CONFIG_HOME
export QT_QPA_PLATFORM=offscreen
PERUSER="$HOME/.local/share/tarn"
tree_state() { (cd "$ROOT" && find . -printf '%p %s %T@ %m\n' | sort | sha256sum); }
before="$(tree_state)"

"$ROOT/usr/bin/tarn" --version | grep -q "^tarn (Tarn) [0-9]" || fail "tarn --version"
"$ROOT/usr/bin/tarn" --help | grep -q "^Usage: tarn" || fail "tarn --help"
"$ROOT/usr/bin/tarnctl" --help | grep -q "^Usage: tarnctl" || fail "tarnctl --help"
set +e
"$ROOT/usr/bin/tarn" --no-such-option >/dev/null 2>"$WORK/err"; code=$?
set -e
[ $code -eq 2 ] && grep -q "no-such-option" "$WORK/err" || fail "tarn with a wrong option: exit $code"
[ ! -e "$PERUSER" ] || fail "--help or --version made the program directory"

shots="$WORK/shots"
timeout 300 "$ROOT/usr/bin/tarn" --screenshot "$shots" >"$WORK/run.log" 2>&1 || { tail -20 "$WORK/run.log" >&2; fail "tarn --screenshot"; }
[ -f "$PERUSER/config/userblock.dat" ] && [ -f "$PERUSER/user/shipped-files.txt" ] || fail "no per-user program directory in $PERUSER"
cmp -s "$PERUSER/config/userblock.dat" "$ROOT/usr/share/tarn/config/userblock.dat" || fail "userblock.dat not laid out"
nshots=$(find "$shots" -name '*.png' | wc -l)
[ "$nshots" -ge 10 ] || fail "only $nshots screenshots"
[ "$(tree_state)" = "$before" ] || fail "the run wrote under the installed tree"

# --- An upgrade: the next version changes userblock.dat, ships a setting.ini and a new sound.
printf '[user]\nmine=1\n' >"$PERUSER/config/setting.ini"
printf 'my blocks' >"$PERUSER/config/userblock.dat"
cp "$PERUSER/config/update.ini" "$WORK/update.ini.old"
dpkg-deb -R "$DEB" "$WORK/next"
printf 'next version blocks' >"$WORK/next/usr/share/tarn/config/userblock.dat"
printf '[shipped]\nx=2\n' >"$WORK/next/usr/share/tarn/config/setting.ini"
printf '[Update]\nVersion=next\n' >"$WORK/next/usr/share/tarn/config/update.ini"
cp "$WORK/next/usr/share/tarn/sound/trade/0.wav" "$WORK/next/usr/share/tarn/sound/trade/9.wav"
sed -i "s/^Version: .*/&+next/" "$WORK/next/DEBIAN/control"
(cd "$WORK/next" && find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums)
dpkg-deb -b -Zxz "$WORK/next" "$WORK/tarn_next.deb" >/dev/null
dpkg-deb -x "$WORK/tarn_next.deb" "$ROOT"
"$ROOT/usr/bin/tarnctl" version | grep -q "program directory: $PERUSER" || fail "tarnctl did not use $PERUSER"
[ "$(cat "$PERUSER/config/userblock.dat")" = "my blocks" ] || fail "the upgrade overwrote the user's userblock.dat"
grep -q "mine=1" "$PERUSER/config/setting.ini" || fail "the upgrade overwrote the user's setting.ini"
cmp -s "$PERUSER/sound/trade/9.wav" "$ROOT/usr/share/tarn/sound/trade/9.wav" || fail "the new shipped file was not added"
grep -q "Version=next" "$PERUSER/config/update.ini" || fail "an unchanged shipped file was not updated"

# --- The server package, when the build has one.
SERVER_DEB=("$OUT"/tarnd_*.deb)
if [ ${#SERVER_DEB[@]} -eq 1 ]; then
  dpkg-deb -c "${SERVER_DEB[0]}" | awk '{print $NF}' | sed 's|^\./|/|' >"$WORK/server"
  for f in /usr/bin/tarnd /usr/lib/systemd/system/tarnd.service /etc/default/tarnd; do
    grep -qxF "$f" "$WORK/server" || fail "tarnd package lacks $f"
  done
  dpkg-deb --ctrl-tarfile "${SERVER_DEB[0]}" | tar -xO ./conffiles | grep -qx /etc/default/tarnd || fail "tarnd conffiles"
  [ -n "$(dpkg-deb -f "${SERVER_DEB[0]}" Depends)" ] || fail "tarnd has no dependencies"
fi
echo "package check passed (${#debs[@]} package(s), $nshots screenshots from the installed terminal)"
