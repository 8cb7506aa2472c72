# Sourced by the entry scripts: the project's own Wine prefixes (under build/, never
# the user's home) and a private virtual X display for the Windows programs.
#
# Two builds, two prefixes: the 32-bit program runs in build/wineprefix under the
# 32-bit Wine loader, the x64 one in build/wineprefix64 under the 64-bit loader.
# Which one a script gets: ZENTRAVO_WINE_BUILD (win32 or win64), else WINEARCH,
# else win32; use_wine_build switches later. The loaders are called directly, not
# through Debian's "wine" wrapper, which always takes the 32-bit loader when wine32
# is installed, also on hosts that cannot start it. `wine` below is a function that
# runs the chosen loader, and WINE names it for the test scripts.
#
#   ZENTRAVO_WINE32_LOADER   the 32-bit loader (default /usr/lib/wine/wine); also
#                            what host_runs_32bit_wine tries
#   ZENTRAVO_WINE64_LOADER   the 64-bit loader (default /usr/lib/wine/wine64)
#
# Each prefix runs with the zh_CN.UTF-8 locale, so its ANSI code page is 936, shows
# every program inside a 1920 x 1080 Wine virtual desktop, which draws window frames
# without a window manager and fixes the screen size the program sees, and has no
# crash debugger: a crashing program ends at once with its exception code.

zentravo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
zentravo_wine32_loader=${ZENTRAVO_WINE32_LOADER:-/usr/lib/wine/wine}
zentravo_wine64_loader=${ZENTRAVO_WINE64_LOADER:-/usr/lib/wine/wine64}

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=zh_CN.UTF-8

# use_wine_build win32|win64 [PREFIX]: the loader, architecture and prefix of that
# build; the prefix defaults to the build's own under build/.
use_wine_build() {
  case "$1" in
    win32)
      export WINEARCH=win32 WINE="$zentravo_wine32_loader"
      export WINEPREFIX="${2:-$zentravo_root/build/wineprefix}"
      ;;
    win64)
      export WINEARCH=win64 WINE="$zentravo_wine64_loader"
      export WINEPREFIX="${2:-$zentravo_root/build/wineprefix64}"
      ;;
    *) echo "wine: no such build: $1 (win32 or win64)" >&2; return 2 ;;
  esac
  # Wine starts further programs (and its own helpers) with WINELOADER.
  export WINELOADER="$WINE"
}

wine() { "$WINE" "$@"; }

# host_runs_32bit_wine: true when the 32-bit Wine loader starts on this host. When
# it does not, zentravo_wine32_unavailable says why, in one line.
zentravo_wine32_unavailable=
host_runs_32bit_wine() {
  local output status=0
  if [ ! -e "$zentravo_wine32_loader" ]; then
    zentravo_wine32_unavailable="there is no 32-bit Wine loader at $zentravo_wine32_loader (package wine32:i386)"
    return 1
  fi
  # In the C locale, so that the shell's own report of a failed start reads the same
  # on every host.
  output=$(export LC_ALL=C; "$zentravo_wine32_loader" --version 2>&1) || status=$?
  if [ "$status" -eq 0 ]; then return 0; fi
  output=$(printf '%s' "$output" | tr '\n' ' ' | sed 's/ *$//')
  case "$output" in
    *"Exec format error"*)
      zentravo_wine32_unavailable="this host does not start 32-bit programs: the 32-bit Wine loader $zentravo_wine32_loader fails with \"Exec format error\" (a kernel without IA-32 emulation runs 64-bit code only)" ;;
    *)
      zentravo_wine32_unavailable="the 32-bit Wine loader $zentravo_wine32_loader does not start (status $status): $output" ;;
  esac
  return 1
}

if [ -n "${ZENTRAVO_WINE_BUILD:-}" ]; then
  use_wine_build "$ZENTRAVO_WINE_BUILD" "${WINEPREFIX:-}"
elif [ "${WINEARCH:-}" = win64 ]; then
  use_wine_build win64 "${WINEPREFIX:-}"
else
  use_wine_build win32 "${WINEPREFIX:-}"
fi

# Wine draws the caption buttons of every frame with its own Marlett font, which
# this Wine does not load from its data directory; a copy in the prefix's Fonts
# folder is found. Without it the buttons show the letters "0 1 r".
install_wine_marlett() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  local marlett=/usr/share/wine/fonts/marlett.ttf
  if [ -d "$fonts" ] && [ -f "$marlett" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp "$marlett" "$fonts/marlett.ttf"
  fi
}

# A program that crashes must end with its exception code, not wait for somebody
# to answer Wine's crash dialog: no debugger is started (an empty AeDebug command
# cannot start, and Auto skips the question whether to start one), and winedbg
# shows no dialog should it be started anyway. The 64-bit prefix keeps the same
# key for 32-bit programs under Wow6432Node.
turn_off_crash_debugger() {
  local key
  for key in 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
             'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug'; do
    if [ "$WINEARCH" = win32 ] && [[ "$key" == *Wow6432Node* ]]; then continue; fi
    wine reg add "$key" /v Debugger /d '' /f >/dev/null
    wine reg add "$key" /v Auto /d 1 /f >/dev/null
  done
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
}

ensure_wine_prefix() {
  if [ ! -f "$WINEPREFIX/.zentravo-prefix" ]; then
    echo "wine: creating the prefix $WINEPREFIX ($WINEARCH)"
    mkdir -p "$(dirname "$WINEPREFIX")"
    # A fresh win64 prefix reports that it cannot open syswow64\rundll32.exe when
    # wine32 cannot run; the prefix is complete without it.
    wine wineboot --init 2> >(grep -v 'syswow64.*rundll32\.exe' >&2)
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1920x1080 /f >/dev/null
    wineserver -w
    touch "$WINEPREFIX/.zentravo-prefix"
  fi
  # Also for prefixes made before the setting existed.
  if [ ! -f "$WINEPREFIX/.zentravo-no-crash-debugger" ]; then
    turn_off_crash_debugger
    wineserver -w
    touch "$WINEPREFIX/.zentravo-no-crash-debugger"
  fi
  install_wine_marlett
}

# Starts Xvfb on a free display and exports DISPLAY; stop_display ends it and the
# prefix's Wine processes.
start_display() {
  local display_file
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  zentravo_xvfb_pid=$!
  local tries=0
  until [ -s "$display_file" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$zentravo_xvfb_pid" 2>/dev/null; then
      echo "wine: Xvfb did not start" >&2
      rm -f "$display_file"
      return 1
    fi
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$display_file")"
  rm -f "$display_file"
}

stop_display() {
  wineserver -k 2>/dev/null || true
  if [ -n "${zentravo_xvfb_pid:-}" ]; then
    kill "$zentravo_xvfb_pid" 2>/dev/null || true
    wait "$zentravo_xvfb_pid" 2>/dev/null || true
    zentravo_xvfb_pid=
  fi
}
