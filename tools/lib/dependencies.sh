# Installs what building and testing need on a Debian machine, and only what
# is missing: the MinGW-w64 cross compilers for i686 and x86_64, Wine (the
# 64-bit loader always; the 32-bit one, after adding the i386 architecture,
# only where this machine runs 32-bit programs), Xvfb and xdotool for the
# window tests, ImageMagick for screenshots, GoogleTest sources, CMake and
# Ninja, nginx as the game's web server in the engine's tests and the demo,
# tinyproxy as a player's forward proxy in the engine's tests, Varnish as a
# studio's caching edge in front of nginx in the engine's tests,
# the openssl command that signs the tests' deliberately faulty manifests,
# and a Spanish locale for the comma decimal separator.
# Needs VELMORA_RUNS_32BIT from velmora_choose_windows_target.

velmora_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

velmora_install_dependencies() {
  local packages=(cmake ninja-build g++ googletest g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 xvfb xdotool imagemagick locales python3 x11-utils
    libssl-dev openssl zlib1g-dev libdeflate-dev clang libclang-rt-dev nginx tinyproxy varnish libz-mingw-w64-dev)
  [ "$VELMORA_RUNS_32BIT" = 1 ] && packages+=(wine32:i386)
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$VELMORA_RUNS_32BIT" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      velmora_as_root dpkg --add-architecture i386 || return 1
    fi
    velmora_as_root apt-get update -qq || return 1
    velmora_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null || return 1
  fi
  if ! locale -a 2>/dev/null | grep -qi '^es_ES\.utf-\?8$'; then
    echo "Generating the es_ES.UTF-8 locale"
    velmora_as_root localedef -i es_ES -f UTF-8 es_ES.UTF-8 || return 1
  fi
}
