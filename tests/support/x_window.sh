# Sourced by the scripts that drive the real program in an X server (the end-to-end test,
# the Windows program's end-to-end test, the package test, scripts/screenshots.sh): finding its
# windows, measuring them, clicking its controls.
# Needs xdotool, xwininfo and xprop. click_control acts on the window whose id is in $window;
# px converts at the scale factor in $scale (percent, 100 unless set).

# The waits below end as soon as what they wait for happens; their limit, $wait_seconds (sixty
# unless set), only stops a test that hangs: a busy machine can take seconds to map a window.

# Runs a command every tenth of a second until it succeeds, for up to $wait_seconds; returns
# its last status.
wait_until() {
  local deadline=$((SECONDS + ${wait_seconds:-60}))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Waits for a window whose title matches; prints its id.
wait_window() {
  local deadline=$((SECONDS + ${wait_seconds:-60}))
  while [ "$SECONDS" -lt "$deadline" ]; do
    if id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "no window titled '$1' appeared" >&2
  xdotool search --onlyvisible --name . getwindowname %@ >&2 || true
  return 1
}

# Screen pixels for twips (15 a pixel at 96 dpi) at the configuration's scale factor.
scale=${scale:-100}
px() { echo $(( ($1 * scale + 750) / 1500 )); }

# The client area of a window in screen pixels (CX CY CW CH) and its frame (FL FR FT FB).
measure() {
  local info
  info=$(xwininfo -id "$1")
  CX=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  CY=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  CW=$(sed -n 's/^ *Width: *//p' <<<"$info")
  CH=$(sed -n 's/^ *Height: *//p' <<<"$info")
  read -r FL FR FT FB < <(xprop -id "$1" _NET_FRAME_EXTENTS | grep -o '[0-9, ]*$' | tr -d ,) || true
  FL=${FL:-0} FR=${FR:-0} FT=${FT:-0} FB=${FB:-0}
}

# Clicks the middle of a control given in twips from the client area's top-left corner.
# (No --sync: it waits in vain when the pointer is already there, as for a second click.)
click_control() {
  local left=$1 top=$2 width=$3 height=$4
  measure "$window"
  xdotool mousemove $((CX + $(px $((left + width / 2))))) $((CY + $(px $((top + height / 2))))) sleep 0.1 click 1
}
