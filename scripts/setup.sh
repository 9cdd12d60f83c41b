#!/usr/bin/env bash
# Installs what the tool, its tests and its benchmarks need on a Debian 12
# machine, then builds into ./build (or the folder given as $1).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"

packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  libpocketsphinx-dev libsphinxbase-dev pocketsphinx pocketsphinx-en-us pocketsphinx-testdata
  libsndfile1-dev libsoxr-dev portaudio19-dev libasound2-dev
  pulseaudio pulseaudio-utils libasound2-plugins alsa-utils
  sox libsox-fmt-mp3 time flite wamerican-small wamerican wamerican-large
  mandoc python3-jsonschema libicu-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
