# Wine environment of one build/test run; sourced, not run.
#
# One 32-bit prefix per run (default build/wineprefix, TAVORO_WINEPREFIX to
# move it), made once under a lock so that parallel ctest jobs share it, one
# display (the caller's $DISPLAY, or an Xvfb of our own recorded in the
# prefix), and a persistent wineserver so that each program starts quickly.
# With TAVORO_WINEPREFIX_TEMPLATE naming another prefix, a new prefix is a
# copy of that one (made ready first) instead of a wineboot of its own: the
# end-to-end ring's workers each copy the run's prefix, which takes half the
# time of a wineboot and little CPU, where a wineboot keeps a core busy.
#
#   tavoro_wine_prepare   make prefix + display ready, export WINEPREFIX/DISPLAY
#   tavoro_wine ARGS...   run wine with the code page 936 locale
#   tavoro_wine_stop      end the wineserver and the Xvfb started by us

_tavoro_repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

export WINEPREFIX="${TAVORO_WINEPREFIX:-$_tavoro_repo_root/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono/Gecko installer dialogs during wineboot; the launcher needs neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Our own records (Xvfb number and pid, logs, ready marker) live in the prefix
# dir; the lock sits beside it so that rebuilding the prefix cannot drop it.
_tavoro_state_dir() { echo "$WINEPREFIX/.tavoro-run"; }

# Runs wine with LC_ALL only for itself: GetACP() is 936 only with it, while
# the shell's own tools (xdotool, python) keep the caller's locale.
# TAVORO_WINE_LC_ALL runs a program on another code page (C.UTF-8: 1252).
tavoro_wine() { LC_ALL="${TAVORO_WINE_LC_ALL:-zh_CN.UTF-8}" wine "$@"; }

_tavoro_display_alive() {
  local num="$1" pid="$2"
  # Ask the server itself: a dead Xvfb can linger as a zombie (kill -0 works)
  # and leave its socket behind.
  [ -n "$num" ] && [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null &&
    xdpyinfo -display ":$num" >/dev/null 2>&1
}

# Starts (or reuses) the run's Xvfb. Caller holds the lock.
_tavoro_ensure_display() {
  local state
  state="$(_tavoro_state_dir)"
  [ -z "${DISPLAY:-}" ] || return 0
  local num="" pid=""
  if [ -f "$state/xvfb.display" ]; then
    num="$(cat "$state/xvfb.display")"
    pid="$(cat "$state/xvfb.pid" 2>/dev/null || true)"
    if _tavoro_display_alive "$num" "$pid"; then
      export DISPLAY=":$num"
      return 0
    fi
    rm -f "$state/xvfb.display" "$state/xvfb.pid"
  fi
  local numfile="$state/xvfb.num.tmp"
  rm -f "$numfile"
  # -displayfd picks a free display number and reports it once the server is
  # ready for clients; setsid keeps it alive after this shell ends.
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
    3>"$numfile" >"$state/xvfb.log" 2>&1 </dev/null 9>&- &
  pid=$!
  local i
  for i in $(seq 1 100); do
    num="$(tr -dc '0-9' <"$numfile" 2>/dev/null || true)"
    [ -n "$num" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$numfile"
  if [ -z "$num" ]; then
    echo "wine-env: Xvfb did not start (see $state/xvfb.log)" >&2
    return 1
  fi
  echo "$pid" >"$state/xvfb.pid"
  echo "$num" >"$state/xvfb.display"
  export DISPLAY=":$num"
  # WM_STATE as a window manager keeps it (scripts/wm-state.py): without it
  # Wine waits two seconds each time it hides a window. It ends with the
  # display.
  setsid "$_tavoro_repo_root/scripts/wm-state.py" >"$state/wm-state.log" 2>&1 </dev/null 9>&- &
  echo $! >"$state/wm-state.pid"
}

# The launcher asks for the face 微软雅黑; map it to the installed CJK font so
# that captions have stable metrics. regedit reads a UTF-16LE file correctly,
# whereas `wine reg add` garbles Chinese value names.
_tavoro_font_reg() {
  local out="$1"
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"微软雅黑"="WenQuanYi Micro Hei"\r\n\r\n' |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$out"
}

# Caller holds the lock on fd 9. Everything started here that may outlive the
# caller (Xvfb, wineserver, winedevice) must not inherit fd 9, or it would
# keep the lock held for every later run.
_tavoro_ensure_prefix() {
  local state
  state="$(_tavoro_state_dir)"
  [ -f "$state/prefix.ready" ] && [ -d "$WINEPREFIX/drive_c" ] && return 0
  wineserver -k 2>/dev/null || true
  # A half-made prefix from an interrupted run: start over, keeping our records.
  find "$WINEPREFIX" -mindepth 1 -maxdepth 1 ! -name .tavoro-run -exec rm -rf {} +
  local template="${TAVORO_WINEPREFIX_TEMPLATE:-}"
  if [ -n "$template" ] && [ "$(readlink -f "$template")" != "$(readlink -f "$WINEPREFIX")" ]; then
    if _tavoro_copy_prefix "$template"; then
      touch "$state/prefix.ready"
      return 0
    fi
    echo "wine-env: could not copy $template, booting a prefix of our own" >&2
    find "$WINEPREFIX" -mindepth 1 -maxdepth 1 ! -name .tavoro-run -exec rm -rf {} +
  fi
  echo "wine-env: creating Wine prefix $WINEPREFIX" >&2
  tavoro_wine wineboot -i >"$state/wineboot.log" 2>&1 9>&- || {
    echo "wine-env: wineboot failed (see $state/wineboot.log)" >&2
    return 1
  }
  _tavoro_font_reg "$state/fonts.reg"
  tavoro_wine regedit /S "$(winepath_w "$state/fonts.reg")" >>"$state/wineboot.log" 2>&1 9>&-
  wineserver -w
  touch "$state/prefix.ready"
}

# Copies the ready prefix $1 into the (emptied) $WINEPREFIX, all but our
# records (its Xvfb is not ours). The template is made ready first, on our
# display, and copied under its lock, so no boot of it is copied half done;
# its registry on disk is whole, as Wine replaces the files when it saves.
_tavoro_copy_prefix() {
  local template="$1"
  TAVORO_WINEPREFIX="$template" TAVORO_WINEPREFIX_TEMPLATE="" \
    "$_tavoro_repo_root/scripts/wine-run" --env >/dev/null 9>&- || return 1
  (
    flock -w 600 8 || exit 1
    find "$template" -mindepth 1 -maxdepth 1 ! -name .tavoro-run \
      -exec cp -a {} "$WINEPREFIX/" \;
  ) 8>"$template.lock" 9>&-
}

# Unix path to the Z: drive path Wine gives it; avoids a winepath start.
winepath_w() {
  local p
  p="$(readlink -f "$1")"
  echo "Z:${p//\//\\}"
}

tavoro_wine_prepare() {
  local state
  state="$(_tavoro_state_dir)"
  mkdir -p "$state"
  (
    flock -w 600 9 || {
      echo "wine-env: could not lock $WINEPREFIX.lock" >&2
      exit 1
    }
    _tavoro_ensure_display || exit 1
    _tavoro_ensure_prefix || exit 1
    # Exits 2 when a server of this prefix already runs: that is fine.
    wineserver -p >/dev/null 2>&1 9>&- || true
  ) 9>"$WINEPREFIX.lock" || return 1
  # The subshell cannot export; pick up the display it settled on.
  if [ -z "${DISPLAY:-}" ] && [ -f "$state/xvfb.display" ]; then
    export DISPLAY=":$(cat "$state/xvfb.display")"
  fi
  [ -n "${DISPLAY:-}" ]
}

tavoro_wine_stop() {
  local state
  state="$(_tavoro_state_dir)"
  [ -d "$state" ] || return 0
  (
    flock -w 60 9 || true
    if [ -d "$WINEPREFIX" ]; then
      wineserver -k 2>/dev/null || true
      wineserver -w 2>/dev/null || true
    fi
    local record
    for record in wm-state xvfb; do
      [ -f "$state/$record.pid" ] || continue
      kill "$(cat "$state/$record.pid")" 2>/dev/null || true
      rm -f "$state/$record.pid"
    done
    rm -f "$state/xvfb.display"
  ) 9>"$WINEPREFIX.lock"
}
