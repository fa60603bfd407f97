# One Wine session for a whole run: a prefix inside the build folder, made
# once, and one Xvfb display that every Wine process of the run shares (a
# wineserver started without a display leaves later GUI processes unable
# to create windows for a while).

# $1: the folder that holds the prefix; $2: win32 (the default) for the
# 32-bit build under wine32, win64 for the x86_64 build under wine64.
# Returns non-zero, after saying why, when Wine does not start. Called by a
# script that a caller started inside its own session of the same target
# (one benchmark run by another), it uses that session, and
# velmora_wine_stop leaves it running for the caller.
velmora_wine_start() {
  local build_dir=$1 target=${2:-win32}
  if [ "${VELMORA_WINE_SESSION:-}" = "$target" ]; then
    VELMORA_WINE_BORROWED=1
    return 0
  fi
  export WINEPREFIX="$build_dir/wineprefix" WINEDEBUG=-all
  # No Mono or Gecko installer dialogs while the prefix is made.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "$target" = win64 ]; then
    velmora_use_wine64 "$build_dir" || return 1
  else
    export WINEARCH=win32
  fi
  if [ -z "${VELMORA_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 90 130); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    VELMORA_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    # Without a window manager Wine otherwise takes two seconds to destroy a
    # top-level window; a crash must not wait on a dialog.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  fi
  wineserver -p
  # Start Wine's own services now, with their output going nowhere: started
  # later by a test program whose output a test runner reads through a pipe,
  # they would keep that pipe open and the runner would wait for them.
  if ! wine cmd.exe /c exit >/dev/null 2>&1 </dev/null; then
    echo "Wine does not start here: '$(command -v wine) cmd.exe' failed in $WINEPREFIX"
    velmora_wine_stop
    return 1
  fi
  export VELMORA_WINE_SESSION=$target
}

# Debian's wine and wineboot scripts take the 32-bit loader whenever wine32
# is installed, so a folder of our own, first on PATH, holds a `wine` (and
# the `wine-stable` that wineboot calls) that runs the 64-bit loader. Wine
# starts further processes through WINELOADER.
velmora_use_wine64() {
  local loader=/usr/lib/wine/wine64 bin=$1/wine64-bin name
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "cannot run Windows programs here: this machine has no working 64-bit Wine loader ($loader);" \
      "install the Debian package wine64"
    return 1
  fi
  mkdir -p "$bin"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec %s "$@"\n' "$loader" >"$bin/$name"
    chmod +x "$bin/$name"
  done
  case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
  export WINELOADER=$loader WINEARCH=win64
}

velmora_wine_stop() {
  if [ -n "${VELMORA_WINE_BORROWED:-}" ]; then
    VELMORA_WINE_BORROWED=
    return 0
  fi
  unset VELMORA_WINE_SESSION
  # -k, not -k9: a killed wineserver loses registry writes.
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  if [ -n "${VELMORA_XVFB_PID:-}" ]; then
    kill "$VELMORA_XVFB_PID" 2>/dev/null
    wait "$VELMORA_XVFB_PID" 2>/dev/null
    VELMORA_XVFB_PID=
  fi
}
