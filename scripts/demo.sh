#!/usr/bin/env bash
# The main job against the simulated adapters of examples/iscsi-lab.json: set-up, the shipped
# 32-bit build, then, one vxcli process a step as a host's management client would run them, the
# iSCSI function of the first adapter gets an address, a send-target portal (with the CHAP its
# discovery portal asks for), discovers the targets behind it and logs in to the first; the
# targets, sessions and LUNs are printed. Arguments go to vxcli instead
# (e.g. ./scripts/demo.sh get ROOT/VARUDebugLevel, ./scripts/demo.sh tree), and its exit status
# is the script's.
#
# The adapters' and the library's state live under a root: for a vxcli command, $VXIMA_ROOT when it
# is set, kept from one call to the next; else (and always for the main job) a scratch directory
# that is removed when the call ends.
set -euo pipefail
# A relative root names a directory of the caller's working directory, not of the source tree.
if [ -n "${VXIMA_ROOT:-}" ] && [ "${VXIMA_ROOT#/}" = "$VXIMA_ROOT" ]; then
  VXIMA_ROOT=$PWD/$VXIMA_ROOT
fi
cd "$(dirname "$0")/.."

# Each stage says what it does on standard error, so a first build is not a silent minute and the
# output of a vxcli command given as arguments stays as it is.
stage() { echo "-- $*" >&2; }
stage "set-up: the Debian packages (scripts/setup.sh)"
./scripts/setup.sh
stage "configuring the 32-bit build (build/m32)"
cmake --preset m32 >/dev/null
stage "building libvxima.so, the simulator and vxcli (about a minute the first time)"
cmake --build --preset m32 -j "$(nproc)" --target vxima vxsim vxsim-ip vxcli >/dev/null

scratch=
cleanup() { if [ -n "$scratch" ]; then rm -rf "$scratch"; fi; }
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
if [ -n "${VXIMA_ROOT:-}" ] && [ $# -eq 0 ]; then
  # The main job builds its configuration from nothing: on a root that holds it already its first
  # additions would be refused as duplicates.
  stage "the main job starts from a fresh root; VXIMA_ROOT=$VXIMA_ROOT is left as it is"
fi
if [ -n "${VXIMA_ROOT:-}" ] && [ $# -gt 0 ]; then
  root=$VXIMA_ROOT
  mkdir -p "$root"
  stage "the root: VXIMA_ROOT=$root, kept with what this call changes"
else
  scratch=$(mktemp -d)
  root=$scratch
  stage "the root: $root, removed when this call ends (set VXIMA_ROOT to keep the state for the next)"
fi
export VXIMA_ROOT=$root
export VXIMA_SIMULATOR=$PWD/examples/iscsi-lab.json
stage "starting on the simulated lab: examples/iscsi-lab.json"
# The host's ip command of the virtual functions: the simulator's stand-in, unless the root has one.
if [ ! -e "$root/sbin/ip" ] && [ ! -L "$root/sbin/ip" ]; then
  mkdir -p "$root/sbin"
  ln -s "$PWD/build/m32/bin/vxsim-ip" "$root/sbin/ip"
fi
vxcli=build/m32/bin/vxcli

if [ $# -gt 0 ]; then
  status=0
  "$vxcli" "$@" || status=$?
  exit "$status"
fi

phba=ROOT/Vexalon0/iSCSIPhysicalHBA0
lhba=$phba/LogicalHBA0
stp=$lhba/Discovery/SendTargetPortal0
step() {
  echo "== $*"
  "$vxcli" "$@"
}
step do "$phba/Network/TCPIPConfiguration/ConfigureIPAddress" IPAddress=10.0.0.21 SubnetMask=255.255.255.0
step get "$phba/Network/TCPIPConfiguration/InitiatorIPAddress"
step do "$lhba/Discovery/AddSendTargetPortal" IPAddress=10.0.0.9 PortNumber=3260
step do "$stp/SendTargetPortalLoginOptions/Authentication/ConfigureCHAP" "AuthenticationMethod=One-Way CHAP" \
  TargetCHAPName=discuser TargetSecret=discsecret12 CHAPParam=Required
step do "$stp/DiscoverTargets"
step do "$lhba/Target0/Login"
echo "== targets, sessions and LUNs of $lhba"
"$vxcli" tree "$lhba" | grep -E '^  Target[0-9]+ |TargetISCSIName|TargetIPAddress|TargetPortNumber|^    Session[0-9]+ |SessionStatus|^    LUN[0-9]+ |LUNSize|BlockSize|DeviceModelNumber|LUNSerialNumber'
