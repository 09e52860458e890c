#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the fuzzers and the benchmarks need.
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ g++-multilib          # both builds: 64-bit and -m32
  zlib1g-dev lib32z1-dev               # zlib for both builds
  googletest                           # GoogleTest sources, built per configuration
  libbenchmark-dev                     # Google Benchmark (64-bit benchmark build)
  clang libclang-rt-14-dev             # libFuzzer
  binutils                             # nm for the export check
  nlohmann-json3-dev                   # JSON configuration of the simulated adapter (sim only)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
