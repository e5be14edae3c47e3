# Shared by scripts/test and scripts/run: install what the build needs, configure and build.
# Works on a bare Debian 12 as root: every dependency is a Debian package, installed only when
# it is missing.

KESTREL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Packages the build and the whole test suite need.
KESTREL_PACKAGES=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libfftw3-dev libkissfft-dev libpng-dev
  libpulse-dev pulseaudio pulseaudio-utils
)

kestrel_missing_packages() {
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      printf '%s\n' "$pkg"
    fi
  done
}

kestrel_ensure_packages() {
  local missing
  mapfile -t missing < <(kestrel_missing_packages "$@")
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  echo "== Installing missing packages: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# kestrel_build PRESET [TARGET...]: configure (once) and build.
kestrel_build() {
  local preset="$1"
  shift
  cd "$KESTREL_ROOT"
  cmake --preset "$preset" >/dev/null
  if [ "$#" -gt 0 ]; then
    cmake --build --preset "$preset" --target "$@"
  else
    cmake --build --preset "$preset"
  fi
}
