# Decides which Windows build this machine tests and demonstrates. The
# shipped build is 32-bit and runs under wine32, but some machines cannot
# execute 32-bit Linux programs at all, so wine32's loader never starts
# there. Those, and any run with VELMORA_FORCE_WIN64=1, use the x86_64 build
# of the same sources under wine64 instead.
#
# velmora_choose_windows_target sets:
#   VELMORA_RUNS_32BIT      1 when this machine executes 32-bit programs
#   VELMORA_WINDOWS_PRESET  win32 or win64, the preset to test
# velmora_windows_build_dir and velmora_windows_dist_dir give a preset's
# build folder and install layout.

# True when the kernel executes a 32-bit x86 Linux program. The program is
# a 96-byte static ELF that only exits with 42, so the answer does not
# depend on any installed 32-bit library. It is written under build/, not
# /tmp, which may be mounted without execution rights.
velmora_runs_32bit_programs() {
  local check=build/.runs-32bit-check code
  mkdir -p build || return 1
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000''\002\000\003\000\001\000\000\000''\124\200\004\010''\064\000\000\000''\000\000\000\000''\000\000\000\000''\064\000\040\000\001\000\000\000\000\000\000\000''\001\000\000\000\000\000\000\000''\000\200\004\010\000\200\004\010''\140\000\000\000\140\000\000\000''\005\000\000\000\000\020\000\000''\270\001\000\000\000\273\052\000\000\000\315\200' >"$check"
  chmod +x "$check"
  # The shell's own "Exec format error" goes to the child's stderr.
  ("./$check") >/dev/null 2>&1
  code=$?
  rm -f "$check"
  [ "$code" -eq 42 ]
}

# $1 says what the caller does with the build, e.g. "testing".
velmora_choose_windows_target() {
  local doing=$1
  if velmora_runs_32bit_programs; then VELMORA_RUNS_32BIT=1; else VELMORA_RUNS_32BIT=0; fi
  if [ "${VELMORA_FORCE_WIN64:-0}" = 1 ]; then
    VELMORA_WINDOWS_PRESET=win64
    echo "VELMORA_FORCE_WIN64=1: $doing the x86_64 build under wine64"
  elif [ "$VELMORA_RUNS_32BIT" = 1 ]; then
    VELMORA_WINDOWS_PRESET=win32
  else
    VELMORA_WINDOWS_PRESET=win64
    echo "this machine cannot run 32-bit programs: $doing the x86_64 build under wine64"
  fi
}

velmora_windows_build_dir() { echo "$PWD/build/$1"; }

velmora_windows_dist_dir() {
  case $1 in
    win32) echo "$PWD/out/dist" ;;
    win64) echo "$PWD/out/dist-x64" ;;
  esac
}
