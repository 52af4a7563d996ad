#!/usr/bin/env bash
# The desktop program in a real X server: Xvfb, driven by xdotool with real
# pointer clicks at the controls' places and real keystrokes.
#
#   main_window_e2e.sh VORPEL TEXT_CHECK SAMPLE ARTIFACT_DIR [DRAG_SOURCE]
#
# One program reads a copy of SAMPLE and writes a target, which is checked on
# disk; then the Write checks are provoked one at a time (an empty number, an
# existing target with overwrite off) and their dialogs found by their
# titles; File > Exit from the keyboard ends it. A second, fresh program
# refuses a Write before any Read ("Error R"), and File > Exit by mouse ends
# it. A third, started in the sample's folder, completes a relative name in
# txtFrom from the keyboard, takes files dragged onto it with the pointer
# from DRAG_SOURCE (a small drag and drop source; those checks are left out
# without it), and after a Write made from the keyboard keeps the keyboard
# while "Done" is up. Exit 0 on success, 1 on a failed check, 77 (skipped)
# when no X server can be started. On a failure a picture of the screen goes
# to ARTIFACT_DIR.
set -uo pipefail

vorpel=$1
text_check=$2
sample=$3
artifact_dir=$4
drag_source=${5:-}

skip() {
  echo "SKIP: $*"
  exit 77
}

for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh installs it)"
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorpel-e2e.XXXXXX")
# The program keeps its intermediate file in the user's cache folder; this
# run gives it one of its own, so the user's real one is never touched and
# runs from other build folders do not meet. The old shared place in /tmp
# must stay as it was.
export XDG_CACHE_HOME=$scratch/cache
intermediate=$XDG_CACHE_HOME/vorpel/%Vorpel.temp%
old_place='/tmp/%Vorpel.temp%'
old_place_before=$(stat -c '%i %Y' "$old_place" 2>/dev/null || echo missing)
xvfb_pid=
app_pid=
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# --- The X server -----------------------------------------------------------

# Xvfb picks a free display itself and writes its number once it accepts
# clients. Without -noreset it would reset, refusing connections for a
# moment, whenever its last client leaves: between two xdotool calls, or
# between the two programs.
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset 3>"$scratch/display" \
  >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $scratch/display ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [[ ! -s $scratch/display ]]; then
  sed 's/^/  Xvfb: /' "$scratch/xvfb.log"
  skip "Xvfb could not start an X server here"
fi
DISPLAY=:$(tr -d '\n' <"$scratch/display")
export DISPLAY
echo "Xvfb on display $DISPLAY"

# --- Helpers ----------------------------------------------------------------

failures=0
screenshot_taken=0
rm -f "$artifact_dir/e2e-failure.xwd"
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
  if ((screenshot_taken == 0)) && command -v xwd >/dev/null; then
    screenshot_taken=1
    mkdir -p "$artifact_dir"
    xwd -root -silent >"$artifact_dir/e2e-failure.xwd" 2>/dev/null &&
      echo "  the screen at the first failure: $artifact_dir/e2e-failure.xwd"
  fi
}
pass() { echo "ok: $*"; }

# The visible windows of the running program whose title matches the
# regular expression $1, one id a line.
visible_windows() {
  xdotool search --all --onlyvisible --pid "$app_pid" --name "$1" 2>/dev/null
}

# The regular expression that matches exactly the title $1.
title_pattern() {
  echo "^${1//./[.]}\$"
}

# Waits up to 10 s for a visible window titled exactly $1; prints its id.
wait_for_window() {
  local ids
  for _ in $(seq 100); do
    ids=$(visible_windows "$(title_pattern "$1")")
    if [[ -n $ids ]]; then
      head -n1 <<<"$ids"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Waits up to 10 s until no window titled exactly $1 is visible.
wait_until_hidden() {
  for _ in $(seq 100); do
    [[ -z $(visible_windows "$(title_pattern "$1")") ]] && return 0
    sleep 0.1
  done
  return 1
}

# How many windows titled exactly $1 are visible now.
count_windows() {
  visible_windows "$(title_pattern "$1")" | grep -c .
}

# Waits for a window titled exactly $1 and leaves its id in dialog.
expect_dialog() {
  if dialog=$(wait_for_window "$1"); then
    pass "\"$1\" is shown"
  else
    fail "no window \"$1\" appeared"
    return 1
  fi
}

# Fails when a window titled $1 is visible once the events have settled.
expect_no_dialog() {
  sleep 0.5
  if (($(count_windows "$1") > 0)); then
    fail "\"$1\" is shown but should not be"
  fi
}

# The position and size of window $1 into geometry_x, geometry_y,
# geometry_width, geometry_height.
read_geometry() {
  local key value
  while IFS='=' read -r key value; do
    case $key in
      X) geometry_x=$value ;;
      Y) geometry_y=$value ;;
      WIDTH) geometry_width=$value ;;
      HEIGHT) geometry_height=$value ;;
    esac
  done < <(xdotool getwindowgeometry --shell "$1")
}

# Starts the program in folder $1 (default: here) and finds its window.
start_program() {
  (
    cd "${1:-.}" || exit 1
    XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=xcb exec "$vorpel"
  ) >>"$scratch/vorpel.log" 2>&1 &
  app_pid=$!
  if ! main=$(wait_for_window Main); then
    sed 's/^/  vorpel: /' "$scratch/vorpel.log"
    fail "the program started but no window \"Main\" appeared"
    exit 1
  fi
  pass "window \"Main\" of process $app_pid found"
  read_layout
}

# The controls' rectangles in twips, relative to the client area below the
# menu bar (left, top, width, height); 15 twips make one pixel.
declare -A twips=(
  [txtFrom]="600 240 1935 375"
  [txtTo]="600 720 1935 375"
  [cbxOWrite]="360 1200 2175 255"
  [btnRead]="120 1560 1095 375"
  [btnWrite]="120 2040 1095 375"
  [txtNoSeq]="1320 2040 735 375"
  [lblNoSeq]="2160 2160 855 255"
)
client_width_twips=3240
client_height_twips=2670

# The window is the client area with the menu bar on top (there is no
# window manager, so no frame): the menu bar's height is what the window has
# beyond the client area. Qt may scale everything by a whole device ratio.
read_layout() {
  read_geometry "$main"
  scale=$(awk -v w="$geometry_width" -v t="$client_width_twips" 'BEGIN { printf "%.4f", w / (t / 15) }')
  menu_height=$(awk -v h="$geometry_height" -v t="$client_height_twips" -v s="$scale" \
    'BEGIN { printf "%d", h - t / 15 * s + 0.5 }')
  echo "window $geometry_width x $geometry_height at $geometry_x,$geometry_y;" \
    "scale $scale; menu bar $menu_height pixels"
  if ((menu_height < 10 || menu_height > 80)); then
    fail "the window is $geometry_width x $geometry_height, not a" \
      "$((client_width_twips / 15)) x $((client_height_twips / 15)) client area under a menu bar"
    exit 1
  fi
}

# A real click at the centre of a control of the main window.
click_control() {
  local left top width height x y
  read -r left top width height <<<"${twips[$1]}"
  x=$(awk -v l="$left" -v w="$width" -v s="$scale" 'BEGIN { printf "%d", (l + w / 2) / 15 * s }')
  y=$(awk -v t="$top" -v h="$height" -v s="$scale" -v m="$menu_height" \
    'BEGIN { printf "%d", m + (t + h / 2) / 15 * s }')
  xdotool mousemove --window "$main" "$x" "$y" click 1
  sleep 0.2
}

# The centre of a control of the main window on the screen, into point_x
# and point_y.
control_centre() {
  local left top width height
  read -r left top width height <<<"${twips[$1]}"
  read_geometry "$main"
  point_x=$(awk -v x="$geometry_x" -v l="$left" -v w="$width" -v s="$scale" \
    'BEGIN { printf "%d", x + (l + w / 2) / 15 * s }')
  point_y=$(awk -v y="$geometry_y" -v t="$top" -v h="$height" -v s="$scale" -v m="$menu_height" \
    'BEGIN { printf "%d", y + m + (t + h / 2) / 15 * s }')
}

# Drags file $1 with the pointer from the drag source's window onto the
# centre of control $2 of the main window and drops it there; leaves in
# drop_result what the program took ("copy", "move", "link" or "ignore").
drag_file() {
  local source_pid source_window step x y
  drop_result=
  rm -f "$scratch/drag.out"
  QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$scratch/runtime "$drag_source" "$1" \
    >"$scratch/drag.out" 2>>"$scratch/drag.log" &
  source_pid=$!
  for _ in $(seq 100); do
    source_window=$(xdotool search --onlyvisible --pid "$source_pid" 2>/dev/null | head -n1)
    [[ -n $source_window ]] && break
    sleep 0.1
  done
  if [[ -z $source_window ]]; then
    kill "$source_pid" 2>/dev/null
    wait "$source_pid" 2>/dev/null
    return 1
  fi
  xdotool windowmove --sync "$source_window" 500 400
  sleep 0.2
  control_centre "$2"
  # Pressed in the source's window, then moved in steps, as a hand would.
  xdotool mousemove 560 430 mousedown 1
  sleep 0.2
  for step in 1 2 3 4 5 6 7 8; do
    x=$((560 + (point_x - 560) * step / 8))
    y=$((430 + (point_y - 430) * step / 8))
    xdotool mousemove "$x" "$y"
    sleep 0.1
  done
  sleep 0.3
  xdotool mouseup 1
  for _ in $(seq 50); do
    [[ -s $scratch/drag.out ]] && break
    sleep 0.1
  done
  drop_result=$(head -n1 "$scratch/drag.out")
  wait "$source_pid" 2>/dev/null
  sleep 0.2
}

# A click at a point of a dialog given in twips of its client area (the
# dialogs have no menu bar and, without a window manager, no frame).
click_in_dialog() {
  local x y
  x=$(awk -v v="$2" -v s="$scale" 'BEGIN { printf "%d", v / 15 * s }')
  y=$(awk -v v="$3" -v s="$scale" 'BEGIN { printf "%d", v / 15 * s }')
  xdotool mousemove --window "$1" "$x" "$y" click 1
  sleep 0.2
}

# Replaces the text of a field of the main window with $2, typed.
type_into() {
  xdotool windowfocus --sync "$main"
  click_control "$1"
  xdotool key --clearmodifiers ctrl+a BackSpace
  [[ -n $2 ]] && xdotool type --delay 10 -- "$2"
  sleep 0.2
}

expect_program_ended() {
  local status
  for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$app_pid" 2>/dev/null; then
    fail "$1 did not end the program"
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null
  else
    wait "$app_pid"
    status=$?
    if ((status == 0)); then
      pass "$1 ended the program (exit status 0)"
    else
      fail "$1 ended the program with exit status $status"
    fi
  fi
  app_pid=
}

# --- One use from the main window -------------------------------------------

source="$scratch/sample text.txt"
target="$scratch/cut up.txt"
cp "$sample" "$source"
mkdir -m 700 "$scratch/runtime"

start_program
type_into txtFrom "$source"
click_control btnRead
expect_no_dialog ErrorFNE
type_into txtTo "$target"
click_control btnWrite
if expect_dialog Done; then
  "$text_check" "$source" "$intermediate" "$target" 128 || fail "the written target is wrong"
  modes=$(stat -c %a "$XDG_CACHE_HOME" "$XDG_CACHE_HOME/vorpel" "$intermediate" | tr '\n' ' ')
  [[ $modes == "700 700 600 " ]] ||
    fail "the intermediate file's folders and file are $modes, not 700 700 600"
  # Its OK button: 360, 120, 975, 375.
  click_in_dialog "$dialog" 847 307
  wait_until_hidden Done || fail "OK of \"Done\" did not hide it"
fi
cp "$target" "$scratch/first.txt" 2>/dev/null

# An empty number: only that check fails, nothing is written.
second="$scratch/second.txt"
type_into txtNoSeq ""
type_into txtTo "$second"
click_control btnWrite
if expect_dialog ErrorNFN; then
  expect_no_dialog "Error R"
  expect_no_dialog "Error C. O."
  [[ -e $second ]] && fail "a refused Write created $second"
  # Its OK button: 1080, 480, 1215, 375.
  click_in_dialog "$dialog" 1687 667
  wait_until_hidden ErrorNFN || fail "OK of \"ErrorNFN\" did not hide it"
fi

# The existing target while overwrite is off: refused, the file kept.
type_into txtNoSeq 128
type_into txtTo "$target"
click_control btnWrite
if expect_dialog "Error C. O."; then
  expect_no_dialog ErrorNFN
  cmp -s "$target" "$scratch/first.txt" || fail "a refused Write changed $target"
  # Its OK button (lblOK): 360, 840, 1335, 375.
  click_in_dialog "$dialog" 1027 1027
  wait_until_hidden "Error C. O." || fail "OK of \"Error C. O.\" did not hide it"
fi

# With the box ticked the same target is replaced; 12.5 sequences round to 12.
click_control cbxOWrite
type_into txtNoSeq 12.5
click_control btnWrite
if expect_dialog Done; then
  "$text_check" "$source" "$intermediate" "$target" 12 || fail "the replaced target is wrong"
  xdotool windowfocus --sync "$dialog" key Return
  wait_until_hidden Done || fail "Enter in \"Done\" did not hide it"
fi

# File > Exit from the keyboard.
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers alt+f
sleep 0.5
xdotool key e
expect_program_ended "Alt+F, E"

# --- A fresh program: Write before any Read ----------------------------------

third="$scratch/third.txt"
start_program
type_into txtTo "$third"
click_control btnWrite
if expect_dialog "Error R"; then
  expect_no_dialog ErrorNFN
  expect_no_dialog "Error C. O."
  [[ -e $third ]] && fail "a Write with nothing read created $third"
  # Enter presses the default button.
  xdotool windowfocus --sync "$dialog" key Return
  wait_until_hidden "Error R" || fail "Enter in \"Error R\" did not hide it"
fi

# File > Exit with the mouse: the File title at the left of the menu bar,
# then the menu's one item, in the pop-up that opens below it.
before=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | sort)
xdotool mousemove --window "$main" 12 $((menu_height / 2)) click 1
popup=
for _ in $(seq 50); do
  popup=$(comm -13 <(echo "$before") <(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | sort) | head -n1)
  [[ -n $popup ]] && break
  sleep 0.1
done
if [[ -z $popup ]]; then
  fail "clicking File opened no menu"
else
  read_geometry "$popup"
  pass "the File menu opened ($geometry_width x $geometry_height at $geometry_x,$geometry_y)"
  xdotool mousemove --window "$popup" $((geometry_width / 2)) $((geometry_height / 2))
  sleep 0.2
  xdotool click 1
fi
expect_program_ended "File > Exit by mouse"

# --- A third program: completion, drops, and the keyboard after Write -------

start_program "$scratch"

# A relative name completes from the program's folder: the list comes up as
# the name is typed, Down and Enter take the one suggestion, and Enter runs
# no command.
before=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | sort)
type_into txtFrom "sample t"
list=
for _ in $(seq 50); do
  list=$(comm -13 <(echo "$before") <(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | sort) | head -n1)
  [[ -n $list ]] && break
  sleep 0.1
done
if [[ -z $list ]]; then
  fail "typing \"sample t\" in txtFrom opened no completion list"
else
  pass "typing \"sample t\" in txtFrom opened a completion list"
  xdotool key --clearmodifiers Down Return
  sleep 0.5
  [[ -n $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -x "$list") ]] &&
    fail "Enter left the completion list open"
  expect_no_dialog ErrorFNE
  click_control btnRead
  sleep 0.5
  if (($(count_windows ErrorFNE) > 0)); then
    fail "the completed name did not read"
  else
    pass "the completed name \"sample text.txt\" was read"
  fi
fi

dropped="$scratch/dropped target.txt"
if [[ -z $drag_source ]]; then
  echo "note: no drag source given, the drop checks are left out"
else
  # A file dropped anywhere but the path fields fills txtFrom.
  type_into txtFrom "no such file"
  drag_file "$source" lblNoSeq || fail "the drag source showed no window"
  if [[ $drop_result == copy ]]; then
    pass "the source dropped on \"Sequences\" was taken as a copy"
  else
    fail "the source dropped on \"Sequences\" was taken as \"$drop_result\", not a copy"
  fi
  click_control btnRead
  sleep 0.5
  if (($(count_windows ErrorFNE) > 0)); then
    fail "txtFrom does not hold the dropped source's path"
  else
    pass "the dropped source's path was read from txtFrom"
  fi
  # A file dropped on txtTo: its path, not a file:// URL, becomes the target.
  printf 'old text' >"$dropped"
  drag_file "$dropped" txtTo || fail "the drag source showed no window"
  [[ $drop_result == copy ]] || fail "the file dropped on txtTo was taken as \"$drop_result\""
  [[ $(cat "$dropped") == "old text" ]] || fail "a drop changed the dropped file"
  click_control cbxOWrite
fi
[[ -z $drag_source ]] && type_into txtTo "$dropped"

# Write from the keyboard: from the number field, Shift+Tab reaches Write
# and Space presses it. "Done" comes up and the keyboard stays with Main.
type_into txtNoSeq 7
xdotool key --clearmodifiers shift+Tab space
if expect_dialog Done; then
  "$text_check" "$source" "$intermediate" "$dropped" 7 || fail "the target of the first keyboard Write is wrong"
  focused=$(xdotool getwindowfocus)
  if [[ $focused == "$main" ]]; then
    pass "\"Done\" left the keyboard with Main"
  else
    fail "\"Done\" took the keyboard (window $focused has it, Main is $main)"
  fi
  # Typing on reaches the main window: Tab back to the number, a new count,
  # and Write again.
  xdotool key --clearmodifiers Tab ctrl+a
  xdotool type 5
  xdotool key --clearmodifiers shift+Tab space
  sleep 1
  if "$text_check" "$source" "$intermediate" "$dropped" 5; then
    pass "the keys typed after \"Done\" wrote 5 sequences"
  else
    fail "the keys typed while \"Done\" was up did not reach Main"
  fi
  (($(count_windows Done) == 1)) || fail "\"Done\" is not shown once"
fi

xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers alt+f
sleep 0.5
xdotool key e
expect_program_ended "Alt+F, E"

[[ $(stat -c '%i %Y' "$old_place" 2>/dev/null || echo missing) == "$old_place_before" ]] ||
  fail "$old_place was made or changed"

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all end-to-end checks passed"
