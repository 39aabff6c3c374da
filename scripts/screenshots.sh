#!/usr/bin/env bash
# Takes the two screenshots of the README under a private X server:
# docs/main-dialog.png and docs/about-box.png.
#
#   scripts/screenshots.sh [path/to/vantrell]
#
# The About box is opened the way a user does it: Alt+Space opens the
# window menu (no window manager is there to take the key), "A" picks
# "&About Vantrell...".
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:-$here/build-gui/src/ui/vantrell}
out=$here/docs
[[ -x $exe ]] || { echo "screenshots: no program at $exe (build the target vantrell)" >&2; exit 1; }
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
mkdir -p "$out"

# Xvfb picks a free display and writes its number to fd 3.
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
read -r -t 10 display <&3 || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$display NO_AT_BRIDGE=1

app_pid=
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

"$exe" &
app_pid=$!

main=$(timeout 15 xdotool search --sync --onlyvisible --name '^Vantrell ' | head -1)
# Focused, as a user sees it: the Send button shows its focus ring.
xdotool windowfocus --sync "$main" 2>/dev/null
sleep 1   # let GTK finish the first paint
import -window "$main" "$out/main-dialog.png"

# Real key presses (XTEST) go to the focused window; GTK ignores the
# synthetic events of `xdotool key --window`.
xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key alt+space
sleep 0.5
xdotool key a
about=$(timeout 15 xdotool search --sync --onlyvisible --name '^About Vantrell$' | head -1)
sleep 1
import -window "$about" "$out/about-box.png"

xdotool key Escape
sleep 0.5
xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key Escape
wait "$app_pid" 2>/dev/null || true
app_pid=
echo "screenshots: $out/main-dialog.png $out/about-box.png"
