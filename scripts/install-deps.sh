#!/usr/bin/env bash
# install-deps.sh [--fuzz]: installs the Debian packages the build and the tests need, only when one is
# missing, and the browser tests' npm package when it is missing or older than its lock file. --fuzz
# adds clang and its runtime libraries, which hold libFuzzer (scripts/fuzz.sh).
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config googletest libgtest-dev libbenchmark-dev
          nlohmann-json3-dev libtiff-dev libtinyobjloader-dev imagemagick libpng-dev
          libzip-dev libexif-dev libjpeg-dev libcpp-httplib-dev libxml2-utils chromium help2man binutils
          clang-tidy
          # node runs the browser tests (tests/browser); its package brings npm
          nodejs
          # the independent SSIM that tests/ssim_reference.py compares relkit-report's with
          python3-skimage
          # tests/slurm/local_cluster.sh runs these itself. Installing starts none of them without an init
          # system; with one, only munged may start, on its own socket, which those clusters do not use
          # (slurmd and slurmctld stay down without /etc/slurm/slurm.conf).
          slurmctld slurmd slurm-client munge)
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-dev)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# playwright-core at the version the lock file pins: fetched here only, never by the build.
browser=tests/browser
if [ ! -f $browser/node_modules/.package-lock.json ] ||
   [ $browser/package-lock.json -nt $browser/node_modules/.package-lock.json ]; then
  command -v npm >/dev/null ||
    { echo "install-deps.sh: npm is missing (it comes with nodejs 20 or later)" >&2; exit 1; }
  (cd $browser && npm ci --no-audit --no-fund)
fi
