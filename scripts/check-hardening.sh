#!/usr/bin/env bash
# Usage: scripts/check-hardening.sh BINARY
# Reads the built game with binutils and says, one line each, whether it is a PIE, has
# full RELRO, calls the stack protector and fortified libc functions, and has CET landing
# pads. Exits 1 if any is missing.
set -euo pipefail
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 BINARY" >&2
  exit 2
fi
binary=$1
failed=0

# Output is kept in variables: `readelf | grep -q` could end readelf early and, with
# pipefail, make a match look like a miss.
header=$(readelf -hW "$binary")
dynamic=$(readelf -dW "$binary")
segments=$(readelf -lW "$binary")
symbols=$(readelf --dyn-syms -W "$binary")
notes=$(readelf -nW "$binary")

report() {  # report OK NAME DETAIL
  if [ "$1" = 1 ]; then
    printf 'PASS  %-16s %s\n' "$2" "$3"
  else
    printf 'FAIL  %-16s %s\n' "$2" "$3"
    failed=1
  fi
}

has() { grep -Eq -- "$1" <<<"$2"; }

ok=0; has '^ *Type: +DYN' "$header" && has 'FLAGS_1.*\bPIE\b' "$dynamic" && ok=1
flags1=$(sed -nE 's/.*\(FLAGS_1\) +Flags: *(.*)/\1/p' <<<"$dynamic")
report $ok "PIE" "ELF type: $(sed -nE 's/^ *Type: +([A-Z]+).*/\1/p' <<<"$header"); DT_FLAGS_1: ${flags1:-none}"

relro=no; has '^ *GNU_RELRO ' "$segments" && relro=yes
now=no; has '\(BIND_NOW\)|\(FLAGS\).*\bBIND_NOW\b|\(FLAGS_1\).*\bNOW\b' "$dynamic" && now=yes
ok=0; [ $relro = yes ] && [ $now = yes ] && ok=1
report $ok "full RELRO" "GNU_RELRO segment: $relro; BIND_NOW: $now"

ok=0; has ' UND __stack_chk_fail\b' "$symbols" && ok=1
report $ok "stack protector" "$([ $ok = 1 ] && echo "calls __stack_chk_fail" || echo "no __stack_chk_fail")"

fortified=$(grep -Eo ' UND __[a-z0-9_]+_chk\b' <<<"$symbols" | grep -v __stack_chk_fail |
  sed 's/ UND //' | sort -u | paste -sd ' ' - || true)
ok=0; [ -n "$fortified" ] && ok=1
report $ok "fortify source" "${fortified:-no fortified libc function (__*_chk) called}"

# The program is marked IBT and SHSTK only when every object linked in is, the C
# library's start code included; where that is not (Debian 12's glibc), the landing pads
# at the entry of the game's own functions show that they were built for it.
if ! has 'Machine: +Advanced Micro Devices X86-64' "$header"; then
  echo "SKIP  CET              not an x86-64 program"
elif has 'x86 feature: .*IBT.*SHSTK' "$notes"; then
  report 1 "CET" "GNU property note: IBT, SHSTK"
else
  start=$(realpath -q "$("${CXX:-c++}" -print-file-name=Scrt1.o 2>/dev/null)" || true)
  if [ -f "$start" ] && ! has 'x86 feature: .*IBT' "$(readelf -nW "$start")"; then
    # main and the game's global functions: the compiler leaves the pad out only where a
    # function cannot be reached through a pointer (local ones, split-off cold parts).
    global=$(readelf -sW "$binary" |
      awk '$4 == "FUNC" && ($5 == "GLOBAL" || $5 == "WEAK") && $7 != "UND" &&
           ($8 == "main" || $8 ~ /^_ZN9quillfane/) { print "<" $8 ">: " }' | sort -u)
    entries=$(objdump -d --no-show-raw-insn "$binary" |
      awk '/^[0-9a-f]+ <[^>]*>:$/ { name = $2; getline; print name, $2 }' |
      grep -F -f <(echo "$global") || true)
    total=$(grep -c . <<<"$entries" || true)
    padded=$(grep -c ' endbr64$' <<<"$entries" || true)
    ok=0; [ "$total" -gt 0 ] && [ "$padded" = "$total" ] && has '^<main>:' "$entries" && ok=1
    report $ok "CET" "endbr64 at the entry of $padded of $total functions (main and the game's global ones); no IBT/SHSTK note, as $start is not built for CET"
  else
    report 0 "CET" "no IBT/SHSTK in the GNU property note"
  fi
fi

exit $failed
