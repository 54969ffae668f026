#!/usr/bin/env bash
# Checks the Windows files a package ships from their headers alone, so it needs neither Windows
# nor a Wine of the same bitness:
#   - every file is a PE image of the package's bitness;
#   - every file imports Windows system libraries only, none of MinGW's runtime;
#   - every file runs on Windows 7 SP1: it imports nothing that the list beside this script
#     (newer_than_windows7.txt) names, and says so in its header (subsystem version 6.1);
#   - each simulated library exports exactly the vendor's entry points, by their plain names:
#     no "_" in front and no "@bytes" behind, also where they are stdcall;
#   - on 32-bit, the library's object files define each entry point as stdcall with the
#     vendor's argument size (_CP210x_Open@8 and so on): the names alone cannot show that.
#
# usage: check_binaries.sh OBJDUMP NM BITS [--entry-points LIST] [--library DLL]... [--program EXE]...
#                          [--object OBJ]...
# LIST, needed with --library and --object, holds one "NAME ARGUMENTS" line per entry point, as
# the build writes it from the code's own list (cp210x_entry_points.txt in the build folder).
set -euo pipefail

objdump=$1 nm=$2 bits=$3
shift 3
libraries=() programs=() objects=() entry_point_list=
while [ $# -gt 0 ]; do
  case $1 in
    --library) libraries+=("$2") ;;
    --program) programs+=("$2") ;;
    --object) objects+=("$2") ;;
    --entry-points) entry_point_list=$2 ;;
    *) echo "check_binaries.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

# The vendor's entry points and, on 32-bit, the bytes of arguments each takes off the stack:
# every parameter is a 32-bit value or pointer there.
# Needed only to check libraries.
expected_exports=
if [ ${#libraries[@]} -gt 0 ] || [ ${#objects[@]} -gt 0 ]; then
  [ -n "$entry_point_list" ] || { echo "check_binaries.sh: libraries to check, but no --entry-points" >&2; exit 2; }
  expected_exports=$(awk 'NF == 2 { print $1, 4 * $2 }' "$entry_point_list" | sort)
  # An empty list would let a library that exports nothing pass.
  [ -n "$expected_exports" ] || { echo "check_binaries.sh: no entry points in $entry_point_list" >&2; exit 2; }
fi

# What a system without MinGW has; compared without regard to case, as Windows does.
system_libraries="advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
oleaut32.dll setupapi.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll"

# "library function" patterns of what Windows 7 SP1 lacks; an empty list would let anything pass.
newer=$(grep -Ev '^\s*(#|$)' "$(dirname "$0")/newer_than_windows7.txt")
[ -n "$newer" ] || { echo "check_binaries.sh: newer_than_windows7.txt lists nothing" >&2; exit 2; }

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Every import of a file, one "library function" per line, the library's name in lower case.
imported_functions() {
  "$objdump" -p "$1" | awk '
    /^[ \t]*DLL Name: / { dll = tolower($3); next }
    /^[ \t]*vma: / { next }
    dll != "" && NF == 0 { dll = ""; next }
    dll != "" && NF >= 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, $3 }'
}

check_windows7() {
  local file=$1 functions library function pattern_library pattern_function version
  functions=$(imported_functions "$file")
  # Every image imports some function by name: none means the listing was not understood.
  [ -n "$functions" ] || fail "$file: no imported functions found in $objdump's listing"
  while read -r library function; do
    while read -r pattern_library pattern_function; do
      # shellcheck disable=SC2053  # the list's entries are patterns
      if [[ $library == $pattern_library && $function == $pattern_function ]]; then
        fail "$file imports $function from $library, which Windows 7 SP1 does not have"
        break
      fi
    done <<<"$newer"
  done <<<"$functions"
  version=$("$objdump" -p "$file" | awk '/^MajorSubsystemVersion/ { major = $2 } /^MinorSubsystemVersion/ { minor = $2 }
    END { print major "." minor }')
  [ "$version" = 6.1 ] || fail "$file has subsystem version $version, not 6.1 (Windows 7)"
}

check_image() {
  local file=$1 format want imports dll
  [ "$bits" = 64 ] && want=pei-x86-64 || want=pei-i386
  format=$("$objdump" -f "$file" 2>/dev/null | sed -n 's/.*file format //p') || true
  if [ "$format" != "$want" ]; then
    fail "$file is ${format:-not a file $objdump can read}, not $want"
    return
  fi
  imports=$("$objdump" -p "$file" | sed -n 's/^[ \t]*DLL Name: //p' | tr 'A-Z' 'a-z')
  # Every Windows image imports something (kernel32 at least): none means the listing was not
  # understood, and a check that found nothing to check must not pass.
  [ -n "$imports" ] || fail "$file: no imports found in $objdump's listing"
  for dll in $imports; do
    case " $(echo $system_libraries) " in
      *" $dll "*) ;;
      *) fail "$file imports $dll, which Windows does not have" ;;
    esac
  done
}

exports_of() {
  { "$objdump" -p "$1" 2>/dev/null || true; } | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' | sort
}

for file in "${programs[@]}" "${libraries[@]}"; do
  check_image "$file"
  check_windows7 "$file"
done

for library in "${libraries[@]}"; do
  actual=$(exports_of "$library")
  want=$(echo "$expected_exports" | cut -d' ' -f1)
  if [ "$actual" != "$want" ]; then
    fail "$library exports other names than the vendor's library:"
    diff <(echo "$want") <(echo "$actual") | sed -n 's/^< /    missing: /p; s/^> /    extra:   /p'
  fi
done

if [ "$bits" = 32 ]; then
  [ ${#objects[@]} -gt 0 ] || fail "32-bit check without the libraries' object files"
  defined=$("$nm" --defined-only "${objects[@]}" | awk '$2 == "T" { print $3 }')
  while read -r name bytes; do
    # Not `echo | grep -q`: grep stops reading at the match, and under pipefail the echo that
    # then dies of SIGPIPE would fail the check at random.
    grep -qx "_${name}@${bytes}" <<<"$defined" ||
      fail "$name is not defined as stdcall taking $bytes bytes (_${name}@${bytes})"
  done <<<"$expected_exports"
fi

if [ $failures -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "OK: ${#programs[@]} program(s) and ${#libraries[@]} librar(y/ies), $bits-bit, system imports only, all on Windows 7 SP1; vendor's export names$([ "$bits" = 32 ] && echo ", stdcall with the vendor's argument sizes")"
