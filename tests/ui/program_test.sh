#!/usr/bin/env bash
# The real program under a private Xvfb, driven with real key presses:
#  - `vantrell --foo bar` starts normally: arguments are ignored;
#  - F1 with no help file beside it shows "Failed to launch help." in a box
#    captioned with the executable's name, and the program goes on;
#  - the window menu opens on a right click on the background, on Shift+F10
#    and on the Menu key, and its "&About Vantrell..." opens the About box;
#  - Esc ends the process, with status 0;
#  - the run writes no file: HOME and the XDG folders stay empty.
#
#   program_test.sh path/to/vantrell
set -euo pipefail

exe=$1
work=$(mktemp -d)
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
app_pid=
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

read -r -t 20 display <&3 || fail "Xvfb did not start"
mkdir -p "$work/home" "$work/bin"
# A copy under another name: the caption follows the executable's name.
cp "$exe" "$work/bin/seatalk-sender"
export DISPLAY=:$display NO_AT_BRIDGE=1 HOME=$work/home
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME

"$work/bin/seatalk-sender" --foo bar &
app_pid=$!
main=$(timeout 20 xdotool search --sync --onlyvisible --name '^Vantrell ' 2>/dev/null | head -1)
[[ -n $main ]] || fail "the main dialog did not appear"

xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key F1
box=$(timeout 20 xdotool search --sync --onlyvisible --name '^seatalk-sender$' 2>/dev/null | head -1)
[[ -n $box ]] || fail "no message box captioned seatalk-sender after F1"
xdotool windowfocus --sync "$box" 2>/dev/null
xdotool key Return
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^seatalk-sender$' >/dev/null 2>&1 || break
  sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null || fail "the program ended after the help message"

about_via() {
  xdotool windowfocus --sync "$main" 2>/dev/null
  "$@"
  sleep 0.3
  xdotool key a
  local about
  about=$(timeout 10 xdotool search --sync --onlyvisible --name '^About Vantrell$' 2>/dev/null | head -1)
  [[ -n $about ]] || fail "no About box after: $*"
  xdotool windowfocus --sync "$about" 2>/dev/null
  xdotool key Escape
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^About Vantrell$' >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "Esc did not close the About box"
}
# The dialog's top-left corner is background, outside every control.
about_via xdotool mousemove --window "$main" 3 3 click 3
about_via xdotool key shift+F10
about_via xdotool key Menu

xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key Escape
status=0
timeout 20 tail --pid="$app_pid" -f /dev/null || fail "Esc did not end the program"
wait "$app_pid" || status=$?
app_pid=
[[ $status -eq 0 ]] || fail "exit status $status"

written=$(find "$work/home" -mindepth 1 -type f | head -5)
[[ -z $written ]] || fail "the run wrote files: $written"
echo "program_test: passed"
