#!/usr/bin/env bash
# Checks when scripts/wine-env prepares the Wine prefix, and when it makes it anew, against
# stand-ins for wine, wineboot and wineserver that only note how they were called; no Wine runs.
set -uo pipefail
wine_env="$(cd "$(dirname "$0")/.." && pwd)/wine-env"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

mkdir "$scratch/bin"
for tool in wine wineserver; do
  printf '#!/bin/sh\necho "%s $*" >>"$STUB_CALLS"\n' "$tool" >"$scratch/bin/$tool"
done
# Like Wine's own, it lays out the 32-bit system folder only when Wine's 32-bit part is there.
cat >"$scratch/bin/wineboot" <<'EOF'
#!/bin/sh
echo "wineboot $*" >>"$STUB_CALLS"
mkdir -p "$WINEPREFIX/drive_c/windows/system32"
if [ "$STUB_HAS_32_BIT_PART" = yes ]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/syswow64"
  touch "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll"
fi
EOF
touch "$scratch/loader32"
chmod +x "$scratch/bin/"* "$scratch/loader32"

. "$(dirname "$0")/checks.sh"

# prepare CASE HAS_32_BIT_PART: runs tornak_wine_prefix for a prefix of the case's own.
prepare() {
  export STUB_CALLS="$scratch/$1.calls" STUB_HAS_32_BIT_PART=$2
  : >"$STUB_CALLS"
  (
    export PATH="$scratch/bin:$PATH" TORNAK_WINEPREFIX="$scratch/$1"
    if [ "$2" = yes ]; then tornak_wine32_loader=$scratch/loader32; else tornak_wine32_loader=$scratch/none; fi
    . "$wine_env"
    tornak_wine_prefix
  ) 2>"$scratch/$1.err"
}

# An old prefix: ready, holding a file of the person's, with or without the 32-bit libraries.
old_prefix() {
  mkdir -p "$scratch/$1/drive_c/windows/system32"
  touch "$scratch/$1/.tornak-ready" "$scratch/$1/drive_c/kept.txt"
  if [ "$2" = yes ]; then
    mkdir -p "$scratch/$1/drive_c/windows/syswow64"
    touch "$scratch/$1/drive_c/windows/syswow64/kernel32.dll"
  fi
}

# A new prefix is made once and set for a display without a window manager.
prepare new yes
check "a new prefix is made" grep -qx "wineboot --init" "$scratch/new.calls"
check "a new prefix is marked ready" test -f "$scratch/new/.tornak-ready"
check "a new prefix lets the X11 driver place windows itself" grep -q "Managed /t REG_SZ /d N" "$scratch/new.calls"
prepare new yes
check "a ready prefix is not made again" test ! -s "$scratch/new.calls"

# A prefix made before Wine's 32-bit part was installed is made anew, and says so.
old_prefix stale no
prepare stale yes
check "a prefix without the 32-bit libraries is made anew" grep -qx "wineboot --init" "$scratch/stale.calls"
check "nothing of the old prefix is left" test ! -e "$scratch/stale/drive_c/kept.txt"
check "the new prefix has the 32-bit libraries" test -f "$scratch/stale/drive_c/windows/syswow64/kernel32.dll"
check "remaking the prefix is announced" grep -q "made without Wine's 32-bit part" "$scratch/stale.err"

# A prefix that has them, and one on a machine with no 32-bit Wine at all, are left alone: the
# latter would otherwise be made anew on every run.
old_prefix whole yes
prepare whole yes
check "a prefix with the 32-bit libraries is kept" test -e "$scratch/whole/drive_c/kept.txt"
check "a prefix with the 32-bit libraries is not made again" test ! -s "$scratch/whole.calls"
old_prefix only64 no
prepare only64 no
check "without Wine's 32-bit part the prefix is kept" test -e "$scratch/only64/drive_c/kept.txt"
check "without Wine's 32-bit part the prefix is not made again" test ! -s "$scratch/only64.calls"

checks_done
