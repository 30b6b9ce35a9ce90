# Sourced: the project's own Wine environment. Never touches the user's ~/.wine.
TENDRAL_ROOT=${TENDRAL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${TENDRAL_WINEPREFIX:-$TENDRAL_ROOT/build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all,err+module}
# No Mono or Gecko download prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
WINE64=/usr/lib/wine/wine64

# Waits until this run has the prefix to itself (-s: shares it with other programs run by wine-run),
# then holds it until this shell and everything it started have ended. The end of a run stops the Wine
# server, takes the stand-in driver out of the system directory and writes the DPI back: another run on
# the same prefix would have them pulled from under its programs. What runs inside a run does not lock
# again.
tendral_lock_prefix() {
  [ -z "${TENDRAL_PREFIX_LOCKED:-}" ] || return 0
  export TENDRAL_PREFIX_LOCKED=1
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec {tendral_lock_fd}>>"$WINEPREFIX.lock"
  flock -n "${1:--x}" "$tendral_lock_fd" && return 0
  echo "wine: waiting for the other run on $WINEPREFIX to end" >&2
  flock "${1:--x}" "$tendral_lock_fd"
}

# Creates the prefix once: 64-bit, graphics driver x11 with the null driver as fallback, no crash dialog.
# A prefix made before the 32-bit Wine was installed lacks its 32-bit system: it is made again.
tendral_wine_prefix() {
  if [ -f "$WINEPREFIX/.tendral-ready" ]; then
    { ! tendral_runs_i686 || [ -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; } && return 0
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  echo "wine: creating prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  DISPLAY= "$WINE64" wineboot -i </dev/null >/dev/null 2>&1 || true
  DISPLAY= "$WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11,null /f </dev/null >/dev/null 2>&1
  DISPLAY= "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.tendral-ready"
}

# Starts the Wine server and its background services outside the tests, with their output thrown away,
# so that no test inherits them and waits for them.
tendral_wine_start() {
  wineserver -p </dev/null >/dev/null 2>&1
  DISPLAY= "$WINE64" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
}

# Stops the server of this prefix only, and with it every Wine process of the prefix.
tendral_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  # Until it is gone: a run that starts right after would otherwise reach the server as it dies.
  wineserver -w >/dev/null 2>&1 || true
}

# True when 32-bit Windows programs run here: the kernel runs 32-bit x86 code natively, and the 32-bit
# Wine (wine32:i386) is installed, which a mirror with a stale i386 index may have kept from setup.
tendral_runs_i686() {
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && return 1
  [ -x /usr/lib/wine/wine ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}
