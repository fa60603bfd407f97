# One Wine session for a whole run: a 32-bit prefix inside the build folder,
# made once, and one Xvfb display that every Wine process of the run shares
# (a wineserver started without a display leaves later GUI processes unable
# to create windows for a while).

velmora_wine_start() {
  local build_dir=$1
  export WINEPREFIX="$build_dir/wineprefix" WINEARCH=win32 WINEDEBUG=-all
  # No Mono or Gecko installer dialogs while the prefix is made.
  export WINEDLLOVERRIDES="mscoree,mshtml="
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
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
}

velmora_wine_stop() {
  # -k, not -k9: a killed wineserver loses registry writes.
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  if [ -n "${VELMORA_XVFB_PID:-}" ]; then
    kill "$VELMORA_XVFB_PID" 2>/dev/null
    wait "$VELMORA_XVFB_PID" 2>/dev/null
  fi
}
