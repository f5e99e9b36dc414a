#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need.
# Idempotent and non-interactive: packages already present are skipped.
#   scripts/install-deps.sh          build and test packages
#   scripts/install-deps.sh --fuzz   also the clang toolchain for the fuzz targets
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config
  # tests and benchmarks (nettle: digests of the sample packages)
  libgtest-dev libgmock-dev libbenchmark-dev nettle-dev
  # foundation and container
  zlib1g-dev libicu-dev
  # viewer shell (message boxes, display checks)
  libsdl2-dev
  # rendering: GL through libepoxy; EGL without a surface on Mesa's software
  # renderer off screen, and a virtual X server for the window tests
  libepoxy-dev libegl-dev libegl-mesa0 libgl1-mesa-dri xvfb xauth
  # vivtool
  nlohmann-json3-dev libcli11-dev
  # pictures and colour (djpeg of libjpeg-turbo-progs is the benchmarks' peer)
  libjpeg62-turbo-dev libpng-dev libgif-dev liblcms2-dev libexiv2-dev libjpeg-turbo-progs
)

if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
as_root=()
if [[ $(id -u) -ne 0 ]]; then
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
