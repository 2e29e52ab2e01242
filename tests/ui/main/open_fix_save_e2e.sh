#!/usr/bin/env bash
# Drives the real program in a virtual X server as a person would. First, in each desktop
# configuration of the table below, checks from the real window's pixels and geometry that
# every caption fits its control, that the pane's size is what the client area gives it after
# start, a resize and three hide/show round trips, that a message box's title is shown whole
# and that the About box's texts stand out from their background; the Wayland row runs the
# program under weston's headless back end instead, driven through AT-SPI and measured in the
# compositor's screenshots (wayland_driver.py). Then, plainly, starts it
# with no file, opens a file with LF line ends through the Open dialog, fixes it, saves it,
# and checks the bytes on disk; then does the same with a file named outside ASCII given on
# the command line, with the locale unset and with LANG=C; and checks that arguments
# Qt would take for its own options name files; and reads the pointer with XFixes while a
# large file loads and after. Screenshots go to the output folder.
# Usage: open_fix_save_e2e.sh PROGRAM OUTPUT_FOLDER   (exit 77: skipped; where only weston
# cannot start, after every other check has passed)
set -euo pipefail
program=$1
out=$2
pixels="$(dirname "$0")/window_pixels.py"
cursor="$(dirname "$0")/../../support/x_cursor.py"
for tool in xvfb-run xdotool import xwininfo xprop python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

if [ -z "${NORVANE_E2E_INSIDE_X:-}" ]; then
  export NORVANE_E2E_INSIDE_X=1
  # Display numbers from 400 up: the X tests run side by side, and xvfb-run -a alone can hand
  # two of them the same server. -noreset: the server resets whenever its last client leaves,
  # and a program started between two steps would find it gone.
  exec xvfb-run -a -n 400 -s "-screen 0 1024x768x24 -dpi 96 -noreset" "$0" "$@"
fi

# name     window manager  desktop font (pt)  scale factor (%)  colours
configurations=(
  "plain    none            -                  100               light"
  "framed   openbox         -                  100               light"
  "desktop  openbox         11                 150               dark"
  "wayland  weston          -                  100               light"
)
mkdir -p "$out"
work=$(mktemp -d)
pid='' wm='' compositor=''
trap 'kill $pid $wm $compositor 2>/dev/null || true; rm -rf "$work"' EXIT
printf 'first\nsecond\n\nlast line\n' > "$work/a.txt"

unset XDG_CURRENT_DESKTOP QT_QPA_PLATFORMTHEME QT_SCALE_FACTOR
export QT_QPA_PLATFORM=xcb

# Finding, measuring and clicking windows: wait_window, px, measure, click_control.
source "$(dirname "$0")/../../support/x_window.sh"

shot() { sleep 0.3; import -window root "$out/$1.png"; }
# A screenshot kept for a person and readable by window_pixels.py as $work/shot.ppm.
shot_pixels() { shot "$1"; convert "$out/$1.png" "$work/shot.ppm"; }
failures=0
fail() { echo "FAIL ($config): $*"; failures=$((failures + 1)); }

# The controls whose captions are checked, in twips, and the edges a caption must keep 45
# twips (3 pixels at 96 dpi) clear of, inside the control's frame.
captions=(
  "butOpenFile 120 120 1335 375 lr"   "butConvert 120 600 1335 375 lr"
  "butSaveFile 120 1080 1335 375 lr"  "butSaveFileAs 120 1560 1335 375 lr"
  "chkShowText 120 2400 1335 255 r"   "butAboutHelp 120 2880 1335 375 lr"
)
# The About box's labels in fixed colours, in twips.
about_labels=("lblTitle 1050 240 3885 360" "lblDescription 1080 1245 3885 810" "lblDisclaimer 255 3945 3870 825")

# A pixel check runs on screenshots until it passes, as the window may not be painted yet,
# then once more to report: `checked NAME ARGUMENTS...` runs NAME quiet first, then with
# report=1, when it says what it found and calls fail for what is wrong.
checked() {
  report=0 wait_until "$@" >/dev/null 2>&1 || true
  report=1 "$@" || true
}

# Whether the window's client area is W x H screen pixels.
size_is() {
  measure "$window"
  [ "$CW" -eq "$1" ] && [ "$CH" -eq "$2" ] && return 0
  [ "${report:-1}" = 0 ] || fail "the window is ${CW}x${CH}, not $1x$2"
  return 1
}
wait_size() { checked size_is "$@"; }
size_is_not() { measure "$window"; [ "$CW" -ne "$1" ] || [ "$CH" -ne "$2" ]; }

# The pane's right and bottom edges, read from the pixels, against the size the window gives
# it: its outer size less the margins, inside the client area, from (1560, 120) twips on;
# with no frame, one pixel from the client area's right and bottom edges.
pane_fits() {
  shot_pixels "$config-pane-$1"
  measure "$window"
  local want_w want_h face_x=$((CX + $(px 1508))) mid_y=$((CY + CH / 2)) mid_x=$((CX + $(px 1560) + 20))
  if [ $(( FL + FR + FT + FB )) -eq 0 ]; then
    want_w=$(( CW - $(px 1560) - 1 )) want_h=$(( CH - $(px 120) - 1 ))
  else
    want_w=$(( CW + FL + FR - $(px 1700) )); want_w=$(( want_w < CW - $(px 1560) ? want_w : CW - $(px 1560) ))
    want_h=$(( CH + FT + FB - $(px 540) )); want_h=$(( want_h < CH - $(px 120) ? want_h : CH - $(px 120) ))
  fi
  local gap_r gap_b
  gap_r=$(python3 "$pixels" edge "$work/shot.ppm" $((CX + CW - 1)) "$mid_y" -1 0 "$face_x" "$mid_y")
  gap_b=$(python3 "$pixels" edge "$work/shot.ppm" "$mid_x" $((CY + CH - 1)) 0 -1 "$face_x" "$mid_y")
  local got_w=$(( CW - gap_r - $(px 1560) )) got_h=$(( CH - gap_b - $(px 120) ))
  [ "$report" = 0 ] || echo "pane $1: ${got_w}x${got_h}, window gives ${want_w}x${want_h} (client ${CW}x${CH}, frame $FL $FR $FT $FB)"
  if [ $(( got_w - want_w )) -gt 2 ] || [ $(( want_w - got_w )) -gt 2 ] ||
     [ $(( got_h - want_h )) -gt 2 ] || [ $(( want_h - got_h )) -gt 2 ]; then
    [ "$report" = 0 ] || fail "after $1 the pane is ${got_w}x${got_h}, the window gives ${want_w}x${want_h}"
    return 1
  fi
}
check_pane() { checked pane_fits "$@"; }

# Every caption clear of its control's edges.
captions_fit() {
  shot_pixels "$config-start"
  measure "$window"
  local fits=0
  for control in "${captions[@]}"; do
    read -r name left top width height edges <<<"$control"
    [ "$report" = 0 ] || echo -n "$name: "
    python3 "$pixels" caption "$work/shot.ppm" $((CX + $(px "$left"))) $((CY + $(px "$top"))) \
      "$(px "$width")" "$(px "$height")" "$edges" "$(px 45)" ||
      { fits=1; [ "$report" = 0 ] || fail "the caption of $name does not fit"; }
  done
  return $fits
}

# The message box's title as wide as when shown whole.
title_whole() {
  shot_pixels "$config-message"
  ink=$(title_ink "$box")
  [ "$report" = 0 ] || echo "message box title: $ink pixels of ink, $reference_ink when shown whole"
  [ $(( ink - reference_ink )) -ge -1 ] && return 0
  [ "$report" = 0 ] || fail "the message box's title is cut: $ink of $reference_ink pixels"
  return 1
}

# The About box's labels readable on their background.
about_readable() {
  shot_pixels "$config-about"
  measure "$about"
  local readable=0
  for label in "${about_labels[@]}"; do
    read -r name left top width height <<<"$label"
    ratio=$(python3 "$pixels" contrast "$work/shot.ppm" $((CX + $(px "$left"))) $((CY + $(px "$top"))) \
      "$(px "$width")" "$(px "$height")")
    [ "$report" = 0 ] || echo "$name: contrast $ratio:1"
    awk "BEGIN { exit !($ratio >= 4.5) }" ||
      { readable=1; [ "$report" = 0 ] || fail "$name's contrast is $ratio:1, under 4.5:1"; }
  done
  return $readable
}

# Whether the reference window's title is drawn: some ink in its title bar.
reference_shown() {
  shot_pixels "$config-reference-title"
  reference_ink=$(title_ink "$reference_window")
  [ "$reference_ink" -gt 0 ]
}

# Whether openbox manages the screen: the window its check property names is its own.
openbox_running() {
  local id
  id=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -o '0x[0-9a-f]*') &&
    xprop -id "$id" _NET_WM_NAME 2>/dev/null | grep -q Openbox
}

# The ink width of a framed window's title: openbox is set to show the title alone.
title_ink() {
  measure "$1"
  python3 "$pixels" ink-width "$work/shot.ppm" $((CX - FL + 2)) $((CY - FT + 2)) $((CW + FL + FR - 4)) $((FT - 4))
}

# The Wayland row: weston's headless back end, drawing with pixman (by default it draws nothing,
# and a screenshot then never comes), with the debug protocol through which weston-screenshooter
# takes the compositor's own image, and no idle time (an idle output is not repainted, and a
# screenshot waits for a repaint). The desktop is one plain colour with no panel, so that
# whatever is not that colour is the window. Where weston cannot start, $unstarted says why.
unstarted=''
wayland_row() {
  local tool python runtime="$work/runtime-$config" socket="norvane-e2e-$$"
  for tool in weston weston-screenshooter dbus-run-session convert; do
    command -v "$tool" >/dev/null || { unstarted="$tool is not installed"; return; }
  done
  # Debian's Python, which holds python3-pyatspi, whatever other Python comes first on PATH.
  python=$(command -v /usr/bin/python3 python3 | head -n 1)
  "$python" -c 'import pyatspi' 2>/dev/null || { unstarted="python3-pyatspi is not installed"; return; }
  mkdir -m 700 "$runtime"
  printf '[shell]\nbackground-color=0xff204060\npanel-position=none\n' > "$work/weston.ini"
  XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --use-pixman --debug --idle-time=0 \
    --socket="$socket" --config="$work/weston.ini" --width=1024 --height=768 --log="$work/weston.log" &
  compositor=$!
  listening_or_gone() { [ -S "$runtime/$socket" ] || ! kill -0 "$compositor" 2>/dev/null; }
  wait_until listening_or_gone || true
  if ! [ -S "$runtime/$socket" ] || ! kill -0 "$compositor" 2>/dev/null; then
    unstarted="weston cannot start: $(tail -n 3 "$work/weston.log" 2>/dev/null | tr '\n' ' ')"
    kill "$compositor" 2>/dev/null || true
    wait "$compositor" 2>/dev/null || true
    compositor=''
    return
  fi
  XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=$socket dbus-run-session -- \
    "$python" "$(dirname "$0")/wayland_driver.py" "$program" "$out" "$config" "${captions[@]}" ||
    fail "the checks under weston failed"
  kill "$compositor"
  wait "$compositor" 2>/dev/null || true
  compositor=''
}

for row in "${configurations[@]}"; do
  read -r config manager font scale colours <<<"$row"
  echo "== configuration $config: window manager $manager, font $font pt, scale $scale%, $colours colours"
  export QT_SCALE_FACTOR=$(awk "BEGIN { print $scale / 100 }")
  export XDG_CONFIG_HOME="$work/config-$config"
  mkdir -p "$XDG_CONFIG_HOME/qt6ct" "$XDG_CONFIG_HOME/openbox"
  unset QT_QPA_PLATFORMTHEME
  if [ "$font" != - ] || [ "$colours" = dark ]; then
    # The desktop's font and colours as a desktop sets them, through the qt6ct platform theme.
    command -v qt6ct >/dev/null || { echo "skipped: qt6ct is not installed"; exit 77; }
    scheme=$([ "$colours" = dark ] && echo darker || echo airy)
    cat > "$XDG_CONFIG_HOME/qt6ct/qt6ct.conf" <<CONF
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/$scheme.conf
custom_palette=true
style=Fusion
[Fonts]
general="DejaVu Sans,${font/-/9},-1,5,400,0,0,0,0,0,0,0,0,0,0,1"
fixed="DejaVu Sans Mono,${font/-/9},-1,5,400,0,0,0,0,0,0,0,0,0,0,1"
CONF
    export QT_QPA_PLATFORMTHEME=qt6ct
  fi
  if [ "$manager" = weston ]; then
    wayland_row
    [ -z "$unstarted" ] || echo "skipped: $unstarted"
    continue
  fi
  reference_ink=''
  if [ "$manager" = openbox ]; then
    command -v openbox >/dev/null || { echo "skipped: openbox is not installed"; exit 77; }
    cat > "$XDG_CONFIG_HOME/openbox/rc.xml" <<'CONF'
<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc"><theme><titleLayout>L</titleLayout></theme></openbox_config>
CONF
    openbox --config-file "$XDG_CONFIG_HOME/openbox/rc.xml" &
    wm=$!
    wait_until openbox_running || { echo "openbox did not start"; exit 1; }
    # A window with the message box's title and room to spare shows the title's full width.
    xmessage -title Norvane -geometry 500x80+500+600 reference &
    reference=$!
    reference_window=$(wait_window '^Norvane$')
    wait_until reference_shown || { echo "openbox drew no title on the reference window"; exit 1; }
    kill "$reference"; wait "$reference" 2>/dev/null || true
  fi

  "$program" &
  pid=$!
  window=$(wait_window '^Norvane v2\.1 - \[No File\]$')
  checked captions_fit

  check_pane start
  xdotool windowsize "$window" "$(px 9000)" "$(px 6000)"
  wait_size "$(px 9000)" "$(px 6000)"
  check_pane resize
  for _ in 1 2 3; do
    click_control 120 2400 1335 255  # Show Text: hide the pane
    wait_until size_is_not "$(px 9000)" "$(px 6000)" || fail "the window did not shrink"
    click_control 120 2400 1335 255  # and show it again
    wait_size "$(px 9000)" "$(px 6000)"
  done
  check_pane "three hide-show round trips"

  click_control 120 1560 1335 375   # Save As..., cancelled: "File Not Saved."
  dialog=$(wait_window '^Save As$')
  xdotool windowfocus --sync "$dialog" key Escape
  box=$(wait_window '^Norvane$')
  if [ -n "$reference_ink" ]; then
    checked title_whole
  else
    echo "message box title: no window manager draws titles here"
  fi
  xdotool windowfocus --sync "$box" key Return

  click_control 120 2880 1335 375   # About/Help...
  about=$(wait_window '^About Norvane$')
  checked about_readable
  xdotool windowfocus --sync "$about" key Escape

  kill "$pid" $wm 2>/dev/null || true
  wait "$pid" $wm 2>/dev/null || true
  pid='' wm=''
done
unset QT_SCALE_FACTOR QT_QPA_PLATFORMTHEME XDG_CONFIG_HOME
scale=100
[ "$failures" -eq 0 ] || { echo "$failures desktop checks failed"; exit 1; }
echo "in every configuration${unstarted:+ but Wayland}: captions fit, the pane follows the window, titles and texts are readable"

"$program" &
pid=$!
window=$(wait_window '^Norvane v2\.1 - \[No File\]$')
shot 1-start

click_control 120 120 1335 375   # Open File...
dialog=$(wait_window '^Open$')
xdotool windowfocus --sync "$dialog"
sleep 0.3
xdotool type --delay 5 "$work/a.txt"
xdotool key Return
wait_window '^Norvane v2\.1 - \[a\.txt\]$' >/dev/null
shot 2-loaded

click_control 120 600 1335 375   # Fix File
wait_window '^Norvane v2\.1 - \[a\.txt\] - Fixed$' >/dev/null
shot 3-fixed

click_control 120 1080 1335 375  # Save File
expected=$(printf 'first\r\nsecond\r\n\r\nlast line\r\n' | od -An -tx1)
saved() { [ "$(od -An -tx1 < "$1")" = "$expected" ]; }
wait_until saved "$work/a.txt" || true
actual=$(od -An -tx1 < "$work/a.txt")

click_control 120 2400 1335 255  # Show Text: hide the pane
shot 4-hidden

if [ "$actual" != "$expected" ]; then
  echo "saved bytes differ"; echo "expected: $expected"; echo "actual:   $actual"
  exit 1
fi
echo "opened, fixed and saved through the window: bytes on disk as expected"
kill "$pid"
wait "$pid" 2>/dev/null || true

# A name outside ASCII from the command line, whatever the locale says.
name='Größe €.txt'
for locale in unset C; do
  printf 'a\nb' > "$work/$name"
  if [ "$locale" = unset ]; then
    (cd "$work" && exec env -u LANG -u LC_ALL -u LC_CTYPE "$program" "$name") &
  else
    (cd "$work" && exec env -u LC_ALL -u LC_CTYPE LANG=C "$program" "$name") &
  fi
  pid=$!
  # xdotool's patterns are not sure to match outside ASCII: the title is compared whole.
  window=$(wait_window '^Norvane v2\.1 - \[Gr.*\.txt\]$')
  title=$(xdotool getwindowname "$window")
  if [ "$title" != "Norvane v2.1 - [$name]" ]; then
    echo "with LANG $locale, the title reads: $title"
    exit 1
  fi
  click_control 120 600 1335 375   # Fix File
  wait_window '^Norvane v2\.1 - \[Gr.*\.txt\] - Fixed$' >/dev/null
  click_control 120 1080 1335 375  # Save File
  expected=$(printf 'a\r\nb\r\n' | od -An -tx1)
  wait_until saved "$work/$name" || true
  shot "5-locale-$locale"
  actual=$(od -An -tx1 < "$work/$name")
  if [ "$actual" != "$expected" ]; then
    echo "with LANG $locale, $name saved as: $actual"
    exit 1
  fi
  kill "$pid"
  wait "$pid" 2>/dev/null || true
done
echo "opened, fixed and saved '$name' from the command line with LANG unset and LANG=C"

# The command line is the program's alone: what Qt would take for its own options names the
# file to open, and the window stays on this display.
printf 'x\n' > "$work/-reverse"
(cd "$work" && exec "$program" -reverse) &
pid=$!
wait_window '^Norvane v2\.1 - \[-reverse\]$' >/dev/null
kill "$pid"
wait "$pid" 2>/dev/null || true
(cd "$work" && exec "$program" -platform offscreen a.txt) &
pid=$!
box=$(wait_window '^Norvane$')  # "Error, cannot read file!": no file has that whole name
xdotool windowfocus --sync "$box" key Return
wait_window '^Norvane v2\.1 - \[No File\]$' >/dev/null
shot 6-qt-options
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "took -reverse and -platform offscreen a.txt as file names, on this display"

# The pointer over the window while a file loads is the busy one; once the file is read, the
# pane's I-beam and the arrow beside it. XFixes tells which cursor the server shows by the name
# the program asked the cursor theme for; x_cursor.py watches it from before the program starts,
# with the title of the window under the pointer. The file is large enough that the load is
# seen: when it ends before the pointer is over the window, the file is doubled and read again.
[ -d /usr/share/icons/Adwaita/cursors ] || { echo "skipped: the Adwaita cursor theme is not installed"; exit 77; }
export XCURSOR_THEME=Adwaita XCURSOR_SIZE=24
busy='left_ptr_watch|progress|half-busy|watch|wait|00000000000000020006000e7e9ffc3f|08e8e1c95fe2fc01f976f1e063a24ccd|3ecb610c1bf2410f44200f48c40d3599'
ibeam='text|xterm|ibeam' arrow='left_ptr|default|arrow|top_left_arrow|left_arrow'
loading="Norvane v2.1 - [No File]" loaded="Norvane v2.1 - [big.txt]"
watcher=''
trap 'kill $pid $wm $compositor $watcher 2>/dev/null || true; rm -rf "$work"' EXIT
# Whether the watcher saw one of the cursors NAMES (a|b) over the window titled TITLE: last
# (pointer_is) or ever (pointer_was).
seen_in() {
  awk -F '\t' -v names="^($2)\$" -v title="$3" '$1 ~ names && $2 == title { found = 1 } END { exit !found }' "$1"
}
pointer_was() { seen_in "$work/cursors" "$@"; }
pointer_is() { tail -n 1 "$work/cursors" | seen_in - "$@"; }
watching() { [ -s "$work/cursors" ] || ! kill -0 "$watcher" 2>/dev/null; }
for megabytes in 1024 2048 4096; do
  head -c "${megabytes}M" < <(yes 'a line of text that ends in a bare line feed, as files from Unix do') > "$work/big.txt"
  python3 "$cursor" > "$work/cursors" &
  watcher=$!
  wait_until watching || true
  [ -s "$work/cursors" ] || { echo "x_cursor.py reads no pointer"; exit 1; }
  "$program" "$work/big.txt" &
  pid=$!
  window=$(wait_window '^Norvane v2\.1 - \[No File\]$')
  measure "$window"
  xdotool mousemove $((CX + $(px 4000))) $((CY + $(px 1500)))  # over the pane
  wait_window '^Norvane v2\.1 - \[big\.txt\]$' >/dev/null
  wait_until pointer_is "$ibeam" "$loaded" || true
  xdotool mousemove $((CX + $(px 800))) $((CY + $(px 3600)))  # below the buttons
  wait_until pointer_is "$arrow" "$loaded" || true
  kill "$pid" "$watcher" 2>/dev/null || true
  wait "$pid" "$watcher" 2>/dev/null || true
  pid='' watcher=''
  pointer_was '.*' "$loading" && break
  echo "the load of $megabytes MB ended before the pointer was over the window"
done
rm -f "$work/big.txt"
echo "pointers seen:"; sed 's/^/  /' "$work/cursors"
pointer_was '.*' "$loading" || { echo "no load was seen, even of $megabytes MB"; exit 1; }
pointer_was "$busy" "$loading" || { echo "no busy pointer over the window while it loaded"; exit 1; }
pointer_was "$ibeam" "$loaded" || { echo "once the file was read, the pointer over the pane is not the I-beam"; exit 1; }
pointer_is "$arrow" "$loaded" || { echo "once the file was read, the pointer beside the pane is not the arrow"; exit 1; }
echo "while the file loaded the pointer was busy; then the I-beam over the pane and the arrow beside it"

if [ -n "$unstarted" ]; then
  echo "skipped: the Wayland configuration, as $unstarted (every other check passed)"
  exit 77
fi
