#!/usr/bin/env bash
# scripts/demo.sh given arguments, in a copy of the source tree whose set-up, build and vxcli are
# stand-ins: the root it runs vxcli under, what it leaves behind, and the exit status it passes on.
#   demo_test.sh PATH/TO/scripts/demo.sh
set -uo pipefail
demo=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

tree=$work/src
mkdir -p "$tree/scripts" "$tree/examples" "$tree/build/m32/bin" "$work/path" "$work/tmp"
cp "$demo" "$tree/scripts/demo.sh"
printf '#!/bin/sh\n' > "$tree/scripts/setup.sh"
printf '#!/bin/sh\n' > "$work/path/cmake"
: > "$tree/examples/iscsi-lab.json"
: > "$tree/build/m32/bin/vxsim-ip"
# vxcli: says which root it ran under and whether the ip stand-in was there, keeps a value in the
# root as the library keeps its settings, prints the value a root keeps, and exits with
# $STUB_EXIT.
cat > "$tree/build/m32/bin/vxcli" <<'STUB'
#!/bin/sh
echo "root=$VXIMA_ROOT ip=$(test -e "$VXIMA_ROOT/sbin/ip" && echo yes || echo no)"
case "$1" in
  set) echo "$3" > "$VXIMA_ROOT/kept" ;;
  get) cat "$VXIMA_ROOT/kept" 2>/dev/null || echo unset ;;
esac
exit "${STUB_EXIT:-0}"
STUB
chmod +x "$tree/scripts/setup.sh" "$tree/scripts/demo.sh" "$work/path/cmake" "$tree/build/m32/bin/vxcli"

# Runs the demo with the stand-ins first on the path and TMPDIR where its scratch roots would be.
run() { env PATH="$work/path:$PATH" TMPDIR="$work/tmp" "$@" "$tree/scripts/demo.sh" "${args[@]}" >"$work/out" 2>"$work/err"; }
left() { find "$work/tmp" -mindepth 1 | wc -l; }

# Without VXIMA_ROOT: a scratch root with the ip stand-in, gone when the call ends, whatever vxcli's
# exit status; that status is the demo's.
for want in 0 3; do
  args=(get ROOT/VARUDebugLevel)
  run env -u VXIMA_ROOT STUB_EXIT=$want
  status=$?
  [ "$status" -eq "$want" ] || fail "exit status $status, vxcli's was $want"
  grep -q "^root=$work/tmp/.* ip=yes$" "$work/out" || fail "no scratch root with the ip stand-in: $(cat "$work/out")"
  grep -q "removed when this call ends" "$work/err" || fail "the scratch root is not announced: $(cat "$work/err")"
  [ "$(left)" -eq 0 ] || fail "left behind: $(find "$work/tmp" -mindepth 1)"
done

# With VXIMA_ROOT (relative to the caller's directory): that root, said so, kept with what a call
# set, so the next call sees it; nothing made elsewhere.
mkdir -p "$work/caller"
cd "$work/caller"
args=(set ROOT/VARUDebugLevel 6)
run env VXIMA_ROOT=kept-root || fail "set exited $?"
grep -q "^root=$work/caller/kept-root ip=yes$" "$work/out" || fail "VXIMA_ROOT not used: $(cat "$work/out")"
grep -q "VXIMA_ROOT=$work/caller/kept-root" "$work/err" || fail "VXIMA_ROOT in use is not said: $(cat "$work/err")"
args=(get ROOT/VARUDebugLevel)
run env VXIMA_ROOT="$work/caller/kept-root" || fail "get exited $?"
grep -qx 6 "$work/out" || fail "a later call does not see the value set: $(cat "$work/out")"
[ "$(left)" -eq 0 ] || fail "a scratch root made though VXIMA_ROOT was set"
# Without VXIMA_ROOT, each call starts afresh.
run env -u VXIMA_ROOT
grep -qx unset "$work/out" || fail "a scratch root saw another call's value: $(cat "$work/out")"

# The main job builds its configuration from nothing: always on a scratch root, VXIMA_ROOT left as it is.
args=()
run env VXIMA_ROOT="$work/caller/kept-root"   # the stand-in lists no target: the job ends early
grep -q "^root=$work/tmp/" "$work/out" || fail "the main job did not start from a fresh root: $(cat "$work/out")"
grep -q "^root=$work/caller/kept-root" "$work/out" && fail "the main job ran on VXIMA_ROOT"
[ "$(left)" -eq 0 ] || fail "the main job left its root behind"

[ "$failures" -eq 0 ] && echo "demo.sh: every check passed"
exit $((failures > 0))
