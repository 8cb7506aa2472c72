# Sourced by the entry scripts: the project's own Wine prefix (under build/, never
# the user's home) and a private virtual X display for the Windows programs.
#
# The prefix runs with the zh_CN.UTF-8 locale, so its ANSI code page is 936, and
# shows every program inside a 1920 x 1080 Wine virtual desktop, which draws window
# frames without a window manager and fixes the screen size the program sees.

zentravo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

export WINEPREFIX="${WINEPREFIX:-$zentravo_root/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=zh_CN.UTF-8

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

ensure_wine_prefix() {
  if [ -f "$WINEPREFIX/.zentravo-prefix" ]; then install_wine_marlett; return; fi
  echo "wine: creating the prefix $WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot --init
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1920x1080 /f >/dev/null
  wineserver -w
  install_wine_marlett
  touch "$WINEPREFIX/.zentravo-prefix"
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
