#!/usr/bin/env bash
# Checks when scripts/wine-env prepares the Wine prefix, and when it makes it anew, against
# stand-ins for wine and wineserver that only note how they were called; no Wine runs.
set -uo pipefail
wine_env="$(cd "$(dirname "$0")/.." && pwd)/wine-env"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

mkdir "$scratch/bin" "$scratch/refused"
printf '#!/bin/sh\necho "wineserver $*" >>"$STUB_CALLS"\n' >"$scratch/bin/wineserver"
# Like Wine's own wineboot, it lays out the 32-bit system folder only when Wine's 32-bit part is
# there.
cat >"$scratch/bin/wine" <<'EOF'
#!/bin/sh
echo "wine $*" >>"$STUB_CALLS"
[ "$1" = wineboot ] || exit 0
mkdir -p "$WINEPREFIX/drive_c/windows/system32" "$WINEPREFIX/drive_c/windows/inf"
if [ "$STUB_HAS_32_BIT_PART" = yes ]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/syswow64"
  touch "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll"
fi
EOF
touch "$scratch/loader32"
# Wine's 32-bit part installed on a machine that does not run 32-bit code: its loader cannot start,
# and the 64-bit loader beside it is the one to use.
printf '#!/bin/sh\nexit 126\n' >"$scratch/refused/wine"
printf '#!/bin/sh\necho "wine64 $*" >>"$STUB_CALLS"\n' >"$scratch/refused/wine64"
chmod +x "$scratch/bin/"* "$scratch/loader32" "$scratch/refused/"*

. "$(dirname "$0")/checks.sh"

# prepare CASE HAS_32_BIT_PART: runs tornak_wine_prefix for a prefix of the case's own;
# HAS_32_BIT_PART is yes, no, or refused (installed, but this machine does not run it).
prepare() {
  export STUB_CALLS="$scratch/$1.calls" STUB_HAS_32_BIT_PART=$2
  : >"$STUB_CALLS"
  (
    export PATH="$scratch/bin:$PATH" TORNAK_WINEPREFIX="$scratch/$1"
    case $2 in
      yes) tornak_wine32_loader=$scratch/loader32 ;;
      refused) tornak_wine32_loader=$scratch/refused/wine ;;
      *) tornak_wine32_loader=$scratch/none ;;
    esac
    . "$wine_env"
    tornak_wine_prefix
  ) 2>"$scratch/$1.err"
}

# An old prefix: ready, holding a file of the person's, with or without the 32-bit libraries.
old_prefix() {
  mkdir -p "$scratch/$1/drive_c/windows/system32" "$scratch/$1/drive_c/windows/inf"
  touch "$scratch/$1/.tornak-ready" "$scratch/$1/drive_c/kept.txt"
  if [ "$2" = yes ]; then
    mkdir -p "$scratch/$1/drive_c/windows/syswow64"
    touch "$scratch/$1/drive_c/windows/syswow64/kernel32.dll"
  fi
}

# A new prefix is made once and set for a display without a window manager.
prepare new yes
check "a new prefix is made" grep -qx "wine wineboot --init" "$scratch/new.calls"
check "a new prefix is marked ready" test -f "$scratch/new/.tornak-ready"
check "a new prefix lets the X11 driver place windows itself" grep -q "Managed /t REG_SZ /d N" "$scratch/new.calls"
inf="$scratch/new/drive_c/windows/inf"
check "a new prefix has a driver package for each button" \
  test "$(cd "$inf" && echo oem*.inf)" = "oem0429233806.inf oem0429260000.inf oem0429260001.inf"
check "each package names its button's identity for both bitnesses" \
  test "$(grep -cFx '%DeviceDesc%=Install,USB\VID_10C4&PID_EA61' "$inf/oem0429260001.inf")" = 2
rm "$inf/oem0429260001.inf"
prepare new yes
check "a ready prefix is not made again" test ! -s "$scratch/new.calls"
check "a package removed from a prefix stays removed" test ! -e "$inf/oem0429260001.inf"

# A prefix made before Wine's 32-bit part was installed is made anew, and says so.
old_prefix stale no
prepare stale yes
check "a prefix without the 32-bit libraries is made anew" grep -qx "wine wineboot --init" "$scratch/stale.calls"
check "nothing of the old prefix is left" test ! -e "$scratch/stale/drive_c/kept.txt"
check "the new prefix has the 32-bit libraries" test -f "$scratch/stale/drive_c/windows/syswow64/kernel32.dll"
check "remaking the prefix is announced" grep -q "made without Wine's 32-bit part" "$scratch/stale.err"

# A prefix that has them, and one on a machine with no 32-bit Wine at all, are left alone: the
# latter would otherwise be made anew on every run.
old_prefix whole yes
prepare whole yes
check "a prefix with the 32-bit libraries is kept" test -e "$scratch/whole/drive_c/kept.txt"
check "a prefix with the 32-bit libraries is not made again" test ! -s "$scratch/whole.calls"
check "a prefix made before the driver packages gets them" \
  test -f "$scratch/whole/drive_c/windows/inf/oem0429233806.inf"
old_prefix only64 no
prepare only64 no
check "without Wine's 32-bit part the prefix is kept" test -e "$scratch/only64/drive_c/kept.txt"
check "without Wine's 32-bit part the prefix is not made again" test ! -s "$scratch/only64.calls"

# Where 32-bit code cannot run, Wine starts through its 64-bit loader, and the prefix it made
# without the 32-bit libraries is not made anew on every run either.
prepare refused refused
check "without 32-bit code Wine starts through its 64-bit loader" grep -qx "wine64 wineboot --init" "$scratch/refused.calls"
prepare refused refused
check "without 32-bit code a ready prefix is kept" test ! -s "$scratch/refused.calls"

checks_done
