#!/usr/bin/env bash
# Drives the Windows program under Wine in a virtual X server as a person would (Wine's
# windows are X windows: xdotool finds them by title and clicks and types into them), then
# installs the installer silently, starts the installed program and uninstalls it. The
# program is started every way a user starts it: with no file, a file, a path with blanks
# quoted and unquoted, and from the installed Start-menu shortcut. Wine offers it the
# system's fonts, a colour emoji font and CJK fonts among them, as on a Debian desktop.
# When the program crashes, Wine's debugger writes its backtrace to the program's log; the
# test prints it with the names of the program's functions, read from the unstripped build.
# The pane's text is read as a user copies it (Ctrl+A Ctrl+C), through CLIPBOARD_TEXT, a
# helper that prints the Windows clipboard. One Wine prefix and server serve the whole run.
# Screenshots go to the output folder.
# Usage: program_e2e.sh PROGRAM INSTALLER OUTPUT_FOLDER LOCALE_FOLDER CLIPBOARD_TEXT
#                       UNSTRIPPED_PROGRAM NM OBJDUMP   (exit 77: skipped)
set -euo pipefail
program=$1
installer=$2
out=$3
locales=$4
clipboard_text=$5
unstripped=$6
nm=$7
objdump=$8
for tool in xvfb-run xdotool xwininfo import wine wineserver fc-list; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
# The fonts that once crashed the program must be there to be tried (scripts/setup.sh
# installs them).
for family in 'Noto Color Emoji' 'Noto Sans CJK JP'; do
  fc-list ":family=$family" family | grep -q . ||
    { echo "FAIL: the font '$family' is not installed (fonts-noto-color-emoji, fonts-noto-cjk)"; exit 1; }
done

if [ -z "${NORVANE_E2E_INSIDE_X:-}" ]; then
  export NORVANE_E2E_INSIDE_X=1
  # Display numbers from 500 up, away from the other X tests'; -noreset keeps the server up
  # between clients.
  exec xvfb-run -a -n 500 -s "-screen 0 1024x768x24 -dpi 96 -noreset" "$0" "$@"
fi

mkdir -p "$out"
export WINEPREFIX=$out/wine-prefix WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
# No menu entries in the user's home, no offer to install .NET (Mono) or the HTML engine.
export WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml="
drive=$WINEPREFIX/drive_c
pid=''

# Each crash in the program's log: what Wine's debugger said, its backtrace's frames in the
# program named by the function they are in (the nearest symbol of the unstripped program at
# or below the frame's address, as "name+offset").
report_crashes() {
  [ -f "$out/program.log" ] && grep -q '^Unhandled exception' "$out/program.log" || return 0
  local base
  base=$("$objdump" -p "$unstripped" | awk '$1 == "ImageBase" { print $2 }')
  echo "the program crashed; Wine's debugger said (with the program's functions named):"
  "$nm" -C -n --defined-only "$unstripped" | awk '$2 ~ /^[Tt]$/ && $3 !~ /^\./' >"$out/symbols.txt"
  awk -v base="$base" -v symbols="$out/symbols.txt" '
    function hex(text,   i, value) {
      value = 0; text = tolower(text); sub(/^0x/, "", text)
      for (i = 1; i <= length(text); i++) value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
      return value
    }
    BEGIN {
      while ((getline line < symbols) > 0) {
        split(line, field, " "); n++; address[n] = hex(field[1])
        name[n] = substr(line, index(line, field[3]))
      }
      start = hex(base)
    }
    /^Unhandled exception/ { shown = 1 }
    /^(Register dump|Stack dump|Modules):/ { skipping = 1 }
    /^Unhandled exception|^Backtrace:/ { skipping = 0 }
    !shown || skipping { next }
    /^[ =>]*[0-9]+ 0x[0-9a-f]+ in [Nn]orvane \(\+0x[0-9a-f]+\)/ {
      match($0, /\(\+0x[0-9a-f]+\)/); target = start + hex(substr($0, RSTART + 2, RLENGTH - 3))
      low = 1; high = n
      while (low < high) { middle = int((low + high + 1) / 2); if (address[middle] <= target) low = middle; else high = middle - 1 }
      printf "%s  %s+0x%x\n", $0, name[low], target - address[low]; next
    }
    { print }
  ' "$out/program.log"
}
trap 'kill $pid 2>/dev/null || true; report_crashes; wineserver -k 2>/dev/null || true' EXIT
mkdir -p "$WINEPREFIX"
rm -f "$out/program.log"
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p
wine wineboot --init >"$out/wineboot.log" 2>&1
# A crash writes the debugger's report to the program's log instead of opening a window.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Finding, measuring and clicking windows (no window manager here: Wine's X window is the
# client area). Wine starts windows slowly: wait up to thirty seconds for each.
wait_seconds=30
source "$(dirname "$0")/../../support/x_window.sh"

# Waits until no window's title matches.
wait_gone() {
  for _ in $(seq 300); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "the window titled '$1' stayed" >&2
  return 1
}

open_file() { click_control 120 120 1335 375; }
fix_file() { click_control 120 600 1335 375; }
save_file() { click_control 120 1080 1335 375; }
save_as() { click_control 120 1560 1335 375; }
show_text() { click_control 120 2400 1335 255; }
about_help() { click_control 120 2880 1335 375; }

shot() { sleep 0.3; import -window root "$out/$1.png"; }

# Text copied from a window with keys, as the clipboard holds it, CRs shown as \r. The
# clipboard is emptied first, so an old copy can't pass for the new one.
copied() {
  local id=$1 keys=$2 text=''
  wine "$clipboard_text" --clear
  xdotool windowfocus --sync "$id" sleep 0.2 key $keys
  for _ in $(seq 50); do
    text=$(wine "$clipboard_text" | sed 's/\r/\\r/g') && [ -n "$text" ] && break
    sleep 0.1
  done
  printf '%s' "$text"
}

# The file dialog of the program now shown. Windows titles it (Open, Save As); Wine's
# dialog has no title, so the program's dialog window without one is taken too.
wait_file_dialog() {
  local id name
  for _ in $(seq 300); do
    for id in $(xdotool search --onlyvisible --classname '^norvane\.exe$' 2>/dev/null); do
      name=$(xdotool getwindowname "$id")
      if [ "$name" = "$1" ] || { [ -z "$name" ] && xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q DIALOG; }; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  echo "no file dialog '$1' appeared" >&2
  return 1
}

# A message box is shown; it is screenshot and closed with Enter. Its text can't be read
# here: the box is a Qt dialog, which copies nothing on Ctrl+C as a Windows message box does.
expect_message() {
  local box
  box=$(wait_window '^Norvane$')
  shot "message-$1"
  xdotool windowfocus --sync "$box" sleep 0.2 key Return
  wait_gone '^Norvane$'
}

# Waits until the file holds exactly the bytes printf makes of `format`.
expect_bytes() {
  local file=$1 expected actual
  expected=$(printf "$2" | od -An -tx1)
  for _ in $(seq 100); do
    actual=$(od -An -tx1 <"$file" 2>/dev/null || true)
    [ "$actual" = "$expected" ] && return 0
    sleep 0.1
  done
  fail "$(basename "$file") holds$actual, not$expected"
}

# Starts a program under Wine with the environment and arguments given (NAME=VALUE... -- ARGS).
start() {
  local environment=()
  while [ "$1" != -- ]; do environment+=("$1"); shift; done
  shift
  env "${environment[@]}" wine "$@" >>"$out/program.log" 2>&1 &
  pid=$!
}
stop() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=''
  wait_gone '^Norvane v2\.1' || true
}

title_is() {
  local title
  title=$(xdotool getwindowname "$window")
  [ "$title" = "$1" ] || fail "the title reads '$title', not '$1'"
}

folder="$drive/with space"
rm -rf "$folder"
mkdir -p "$folder"

echo "== start with no file; Save As cancelled; the compact window and back"
start -- "$program"
window=$(wait_window '^Norvane v2\.1 - \[No File\]$')
shot 1-start
measure "$window"
full="${CW}x${CH}"
save_as
dialog=$(wait_file_dialog 'Save As')
shot 2-save-as
xdotool windowfocus --sync "$dialog" sleep 0.3 key Escape
expect_message file-not-saved
show_text
sleep 1
measure "$window"
compact="${CW}x${CH}"
shot 3-compact
[ "$CW" -le "$(px 1560)" ] || fail "hiding the text leaves the window ${compact}, wider than the button column"
show_text
sleep 1
measure "$window"
[ "${CW}x${CH}" = "$full" ] || fail "showing the text again gives ${CW}x${CH}, not the ${full} it had"
echo "window ${full}, compact ${compact}, back to ${CW}x${CH}"

echo "== Open through the dialog, Fix File, Save File"
printf 'one\ntwo\n' >"$folder/opened.txt"
open_file
dialog=$(wait_file_dialog Open)
xdotool windowfocus --sync "$dialog" sleep 0.5 type --delay 20 'C:\with space\opened.txt'
xdotool key Return
window=$(wait_window '^Norvane v2\.1 - \[opened\.txt\]$')
fix_file
wait_window '^Norvane v2\.1 - \[opened\.txt\] - Fixed$' >/dev/null
save_file
expect_bytes "$folder/opened.txt" 'one\r\ntwo\r\n'
shot 4-opened-fixed-saved

echo "== About box; System Info with the registry's MSINFO key, and without"
key='HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO'
wine reg add "$key" /v PATH /d 'C:\windows\system32\msinfo32.exe' /f >/dev/null
about_help
about=$(wait_window '^About Norvane$')
shot 5-about
xdotool windowfocus --sync "$about" sleep 0.2 key alt+s
info=$(wait_window '^About System Information$')  # Wine's msinfo32
shot 6-msinfo32
xdotool windowfocus --sync "$info" sleep 0.2 key Return
wait_gone '^About System Information$'
wine reg delete "$key" /f >/dev/null
wine reg delete 'HKLM\SOFTWARE\Microsoft\Shared Tools Location' /f >/dev/null 2>&1 || true
xdotool windowfocus --sync "$about" sleep 0.2 key alt+s
expect_message sys-info-unavailable
xdotool windowfocus --sync "$about" sleep 0.2 key Escape
wait_gone '^About Norvane$'
stop

# Started from the command line: the title, fixing and the bytes saved. Each row: the file's
# name, its bytes, the locale Wine runs in, the title, the pane's text as copied (the Windows
# clipboard's line break is CR LF, so a bare LF gains a CR, and no more), the bytes
# saved, and, where given, keys that select from the end back by characters and the text
# they select. In the Russian locale the ANSI code page is 1251; in the Japanese one it is
# 932, Shift-JIS, where a character takes one byte or two: the second byte of 本 is '{' and
# of 表 '\' (stepping back must not stop on them), and a lead byte that has no second byte
# (0x82 at the end) shows as U+FFFD and is saved as it was. Ideographs and an emoji send the
# pane to the fallback fonts: the CJK font and the colour emoji font.
rows=(
  "a b.txt|a\nb|C.UTF-8|a b.txt|a\r\nb|a\r\nb\r\n"
  "faces.txt|\xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80\nok|C.UTF-8|faces.txt|日本 😀\r\nok|\xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80\r\nok\r\n"
  "привет.txt|\xcf\xf0\xe8\xe2\xe5\xf2\n\xec\xe8\xf0|ru_RU.UTF-8|привет.txt|Привет\r\nмир|\xcf\xf0\xe8\xe2\xe5\xf2\r\n\xec\xe8\xf0\r\n"
  "日本.txt|\x93\xfa\x96\x7b\x8c\xea\n\x95\x5c\x8e\xa6 \xb1\x82|ja_JP.UTF-8|日本.txt|日本語\r\n表示 ｱ\xef\xbf\xbd|\x93\xfa\x96\x7b\x8c\xea\r\n\x95\x5c\x8e\xa6 \xb1\x82\r\n|ctrl+End shift+Left shift+Left shift+Left shift+Left shift+Left|表示 ｱ\xef\xbf\xbd"
)
for row in "${rows[@]}"; do
  IFS='|' read -r name bytes locale title pane saved keys selected <<<"$row"
  echo "== command line \"C:\\with space\\$name\" in $locale"
  printf "$bytes" >"$folder/$name"
  start LC_ALL="$locale" LANG="$locale" LOCPATH="$locales" -- "$program" "C:\\with space\\$name"
  # The window shows first and names the file once it is read.
  pattern=$(printf '%s' "Norvane v2.1 - [$name]" | sed 's/[].*^$\\[]/\\&/g')
  window=$(wait_window "^$pattern\$")
  click_control 1560 120 3525 3135  # into the pane
  text=$(copied "$window" "ctrl+a ctrl+c")
  expected=$(printf "$pane" | sed 's/\r/\\r/g')
  [ "$text" = "$expected" ] || fail "the pane shows '$text', not '$expected'"
  if [ -n "$keys" ]; then
    text=$(copied "$window" "$keys ctrl+c")
    expected=$(printf "$selected")
    [ "$text" = "$expected" ] || fail "$keys selects '$text', not '$expected'"
  fi
  fix_file
  wait_window '^Norvane v2\.1 - \[.*\] - Fixed$' >/dev/null
  title_is "Norvane v2.1 - [$name] - Fixed"
  save_file
  expect_bytes "$folder/$name" "$saved"
  shot "7-command-line-$locale"
  stop
done

# Each row: the title the window shows once the file is read, then the arguments: a path
# without blanks, and a path with blanks left unquoted, which the program takes whole.
printf 'plain\n' >"$drive/plain.txt"
starts=(
  'plain.txt|C:\plain.txt'
  'a b.txt|C:\with|space\a|b.txt'
)
for row in "${starts[@]}"; do
  IFS='|' read -r -a parts <<<"$row"
  echo "== started with the arguments ${parts[*]:1}"
  start -- "$program" "${parts[@]:1}"
  pattern=$(printf '%s' "Norvane v2.1 - [${parts[0]}]" | sed 's/[].*^$\\[]/\\&/g')
  wait_window "^$pattern\$" >/dev/null
  stop
done

echo "== a file that can't be read, named outside ASCII and outside the code page"
start LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 LOCPATH="$locales" -- "$program" 'C:\with space\нет файла ü 日.txt'
expect_message cannot-read
window=$(wait_window '^Norvane v2\.1 - \[No File\]$')
stop

echo "== without a window: --fix and --version"
printf 'x\ny' >"$folder/c d.txt"
wine "$program" --fix 'C:\with space\c d.txt' >"$out/fix.out" 2>&1 || fail "--fix failed: $(cat "$out/fix.out")"
expect_bytes "$folder/c d.txt" 'x\r\ny\r\n'
version=$(wine "$program" --version 2>&1 | tr -d '\r')
[ "$version" = "Norvane 2.1.0
Licence: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>" ] || fail "--version prints '$version'"

echo "== the installer, silently: install, start the installed program, uninstall"
installed="$drive/Program Files/Norvane"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Norvane.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Norvane'
wine "$installer" /S
[ -f "$installed/Norvane.exe" ] || fail "the installer put no Norvane.exe into C:\\Program Files\\Norvane"
[ -f "$shortcut" ] || fail "the installer made no Start-menu entry"
wine reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1 || fail "Windows does not list Norvane as installed"
start -- 'C:\Program Files\Norvane\Norvane.exe' 'C:\with space\a b.txt'
window=$(wait_window '^Norvane v2\.1 - \[a b\.txt\]$')
shot 8-installed
stop
echo "== the installed program from its Start-menu shortcut"
wine start "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Norvane.lnk" >>"$out/program.log" 2>&1
window=$(wait_window '^Norvane v2\.1 - \[No File\]$')
shot 9-from-shortcut
# Started through the shell, the program is no child of this script's: it is ended by name.
wine taskkill /f /im Norvane.exe >/dev/null 2>&1 || true
wait_gone '^Norvane v2\.1'
wine 'C:\Program Files\Norvane\Uninstall.exe' /S
# The uninstaller runs from a copy of itself, which removes the folder once it is done.
for _ in $(seq 300); do [ -e "$installed" ] || break; sleep 0.1; done
[ ! -e "$installed" ] || fail "uninstalling left $(ls "$installed" | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "uninstalling left the Start-menu entry"
if wine reg query "$uninstall_key" >/dev/null 2>&1; then fail "uninstalling left the uninstall entry"; fi

if grep -q '^Unhandled exception' "$out/program.log"; then fail "the program crashed (the debugger's report follows)"; fi
[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
echo "the Windows program under Wine: every check passed"
