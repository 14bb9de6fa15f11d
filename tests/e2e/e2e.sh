#!/usr/bin/env bash
# Drives the real program in a real window on a private Xvfb, as a user would.
# Usage: e2e.sh CASE PROGRAM X11PROBE OUTPUT_DIR
#   CASE: window | nodisplay | missingsprite | theend
# Exit code 0: passed, 77: skipped (no Xvfb), anything else: failed.
set -uo pipefail

readonly CASE=$1
PROGRAM=$(realpath "$2")
PROBE=$(realpath "$3")
readonly PROGRAM PROBE OUTPUT=$4
readonly TITLE="ポルミナ"
readonly SCREEN_W=1024 SCREEN_H=768 CLIENT_W=400 CLIENT_H=256

if ! command -v Xvfb >/dev/null; then
  echo "SKIP: Xvfb is not installed (tools/deps.sh installs it)"
  exit 77
fi
for tool in xdotool xprop import convert; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (tools/deps.sh installs it)"; exit 1; }
done

rm -rf "$OUTPUT"
mkdir -p "$OUTPUT"
WORK=$(mktemp -d)
XVFB_PID=""
PROGRAM_PID=""

cleanup() {
  [[ -n $PROGRAM_PID ]] && kill "$PROGRAM_PID" 2>/dev/null
  [[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for stream in stdout stderr; do
    if [[ -s $WORK/$stream ]]; then
      echo "--- program $stream:"
      cat "$WORK/$stream"
    fi
  done
  exit 1
}

# Lets Xvfb choose a free display and waits until it says it is ready.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -nolisten tcp -noreset \
    3>"$WORK/display" 2>"$WORK/xvfb.log" &
  XVFB_PID=$!
  for _ in $(seq 100); do
    # The number arrives as a whole line once the server accepts connections.
    if (($(wc -l <"$WORK/display") > 0)); then
      DISPLAY=":$(tr -d '\n' <"$WORK/display")"
      export DISPLAY
      return
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || { cat "$WORK/xvfb.log"; fail "Xvfb did not start"; }
    sleep 0.1
  done
  fail "Xvfb did not report its display"
}

# Starts the program in working directory $1.
start_program() {
  (cd "$1" && exec "$PROGRAM") >"$WORK/stdout" 2>"$WORK/stderr" &
  PROGRAM_PID=$!
}

# Waits up to $1 seconds for the program to end; sets EXIT_CODE.
wait_exit() {
  for _ in $(seq $(($1 * 10))); do
    if ! kill -0 "$PROGRAM_PID" 2>/dev/null; then
      wait "$PROGRAM_PID"
      EXIT_CODE=$?
      PROGRAM_PID=""
      return
    fi
    sleep 0.1
  done
  fail "the program did not end within $1 s"
}

program_running() { kill -0 "$PROGRAM_PID" 2>/dev/null; }

# Lines "id state WxH+X+Y" of the viewable top-level windows captioned with our title.
our_windows() {
  "$PROBE" list | awk -F'\t' -v title="$TITLE" '$2 == "viewable" && $4 == title { print $1, $3 }'
}

# Waits up to $1 seconds for one of our windows that the filter "${@:3}" keeps (it reads the
# "id WxH+X+Y" lines of our windows); sets WINDOW and GEOMETRY; $2 names what is awaited.
await_window() {
  local seconds=$1 what=$2 line
  shift 2
  for _ in $(seq $((seconds * 10))); do
    line=$(our_windows | "$@" | head -n 1)
    if [[ -n $line ]]; then
      read -r WINDOW GEOMETRY <<<"$line"
      return
    fi
    program_running || fail "the program ended before $what appeared"
    sleep 0.1
  done
  "$PROBE" list
  fail "$what did not appear within $seconds s"
}

# Waits up to $1 seconds for a window captioned with our title whose geometry matches $2.
wait_window() {
  # shellcheck disable=SC2016 # the awk program's $2 is awk's own field
  await_window "$1" "a window captioned $TITLE matching $2" \
    awk -v pattern="^$2\$" '$2 ~ pattern { print; exit }'
}

# Prints the count of black, white and other pixels in a rectangle of window $1.
pixels() { "$PROBE" pixels "$@" | sed 's/[a-z]*=//g'; }

# The highest black pixel count of the whole scene over a few redraws.
scene_black() {
  local most=0 black white other
  for _ in 1 2 3; do
    read -r black white other < <(pixels "$1" 0 0 $CLIENT_W $CLIENT_H)
    ((black > most)) && most=$black
    sleep 0.15
  done
  echo "$most"
}

# Keys go to the window under the pointer (no window manager gives focus), so point into the
# box's corner first: not at the screen's centre, where the pointer starts and where
# `mousemove --sync` would wait for a motion that never comes.
press_enter_in_box() {
  local x y
  IFS='+' read -r _ x y <<<"$GEOMETRY"
  xdotool mousemove --sync $((x + 5)) $((y + 5)) key Return
}

screenshot() { import -window "$1" "$OUTPUT/$2.png" || fail "cannot screenshot window $1"; }

readonly MAIN_GEOMETRY="${CLIENT_W}x${CLIENT_H}\\+[0-9]+\\+[0-9]+"

main_window_shown() { our_windows | grep -q " ${CLIENT_W}x${CLIENT_H}+"; }

# Waits up to $1 seconds for a message box: a window captioned with our title of any size but
# the main window's; sets WINDOW and GEOMETRY.
wait_box() { await_window "$1" "a box captioned $TITLE" grep -v " ${CLIENT_W}x${CLIENT_H}+"; }

case_window() {
  start_xvfb
  start_program "$(dirname "$PROGRAM")"
  wait_window 15 "$MAIN_GEOMETRY"
  local centred="${CLIENT_W}x${CLIENT_H}+$(((SCREEN_W - CLIENT_W) / 2))+$(((SCREEN_H - CLIENT_H) / 2))"
  [[ $GEOMETRY == "$centred" ]] || fail "window at $GEOMETRY, expected centred: $centred"

  local props
  props=$(xprop -id "$WINDOW")
  if ! grep -qF "program specified minimum size: $CLIENT_W by $CLIENT_H" <<<"$props" ||
    ! grep -qF "program specified maximum size: $CLIENT_W by $CLIENT_H" <<<"$props"; then
    fail "size hints do not pin the window to ${CLIENT_W}x${CLIENT_H}:"$'\n'"$props"
  fi
  # Motif hints: flags, functions, ...; with MWM_FUNC_ALL (1) the other bits are the ones removed.
  local motif flags functions
  motif=$(sed -n 's/^_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = //p' <<<"$props")
  IFS=', ' read -r flags functions _ <<<"$motif"
  if [[ -z $motif ]] || ! ((flags & 1)); then
    fail "no _MOTIF_WM_HINTS functions: '$motif'"
  fi
  local resizeAndMaximise=$((0x2 | 0x10))
  if ((functions & 1)); then
    (((functions & resizeAndMaximise) == resizeAndMaximise)) || fail "resize/maximise allowed: $motif"
  else
    ((functions & resizeAndMaximise)) && fail "resize/maximise allowed: $motif"
  fi

  # The sprite is the only thing in colour and lies in the lower right; the rest is white scene
  # and black tendrils. Its own file has a few dozen black pixels, so hundreds are tendrils.
  local black white other black_left white_left other_left
  sleep 0.5
  read -r black white other < <(pixels "$WINDOW" 300 56 100 200)
  read -r black_left white_left other_left < <(pixels "$WINDOW" 0 0 300 $CLIENT_H)
  ((other > 2000)) || fail "no sprite in the lower right ($other coloured pixels)"
  ((other_left == 0)) || fail "$other_left coloured pixels left of the sprite"
  ((white_left > 50000)) || fail "the scene is not white ($white_left white pixels on the left)"
  ((black + black_left > 500)) || fail "no tendrils ($((black + black_left)) black pixels)"
  screenshot "$WINDOW" window

  local before after
  before=$(scene_black "$WINDOW")
  local left top
  IFS='+' read -r _ left top <<<"$GEOMETRY"
  xdotool mousemove --sync $((left + 100)) $((top + 128)) click --repeat 60 --delay 10 1
  after=$(scene_black "$WINDOW")
  screenshot "$WINDOW" clicked
  echo "black pixels before clicking: $before, after: $after"
  ((after > 3 * before)) || fail "60 clicks did not thicken the tendrils ($before -> $after)"

  xdotool key Escape key alt key F10 key alt+F4
  sleep 1
  program_running || fail "a key closed the program"
  wait_window 1 "$MAIN_GEOMETRY"

  "$PROBE" close "$WINDOW" || fail "cannot send the close request"
  wait_exit 10
  ((EXIT_CODE == 0)) || fail "exit code $EXIT_CODE after the close request"
}

case_nodisplay() {
  # A display number nobody serves: no socket, no lock file.
  local number=900
  while [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]]; do
    number=$((number + 1))
  done
  local display
  for display in ":$number" ""; do
    (cd "$WORK" && DISPLAY=$display exec "$PROGRAM") >"$WORK/stdout" 2>"$WORK/stderr" &
    PROGRAM_PID=$!
    wait_exit 10
    ((EXIT_CODE == 1)) || fail "DISPLAY='$display': exit code $EXIT_CODE, expected 1"
    grep -q "ディスプレイ" "$WORK/stderr" || fail "DISPLAY='$display': stderr does not name the display"
    echo "DISPLAY='$display': $(cat "$WORK/stderr")"
  done
}

case_missingsprite() {
  start_xvfb
  mkdir "$WORK/empty"
  start_program "$WORK/empty"
  wait_box 15
  screenshot "$WINDOW" error
  # The main window must not have been shown before the box, nor be behind it.
  main_window_shown && fail "the main window is shown along with the error box"
  press_enter_in_box
  # Watch until the end: the main window must never come up.
  for _ in $(seq 100); do
    program_running || break
    main_window_shown && fail "the main window appeared"
    sleep 0.1
  done
  wait_exit 5
  ((EXIT_CODE == 1)) || fail "exit code $EXIT_CODE after the error box, expected 1"
}

case_theend() {
  start_xvfb
  mkdir -p "$WORK/run/dat"
  # All hair: every pixel but the corner (the colour the sprite treats as its background) is red.
  convert -size 100x200 xc:'#ff0000' -fill '#00ff00' -draw 'point 0,0' -type truecolor \
    BMP3:"$WORK/run/dat/fiwa.bmp" || fail "cannot make the test sprite"
  start_program "$WORK/run"
  wait_window 15 "$MAIN_GEOMETRY"
  local main=$WINDOW main_top left
  IFS='+' read -r _ left main_top <<<"$GEOMETRY"
  # Click near the window's corner, away from where the box comes up over the window's middle.
  xdotool mousemove --sync $((left + 5)) $((main_top + 5))
  local deadline=$((SECONDS + 40)) found=""
  while ((SECONDS < deadline)); do
    xdotool click --repeat 20 --delay 10 1
    if our_windows | awk -v main="$main" '$1 != main' | grep -q .; then
      found=yes
      break
    fi
    program_running || fail "the program ended before the end box"
  done
  [[ -n $found ]] || fail "40 s of clicking never covered the scene"
  wait_box 5
  screenshot "$WINDOW" end
  screenshot "$main" scene
  # The box sits over the scene's middle; the band above it must be all black.
  local box_top=${GEOMETRY##*+}
  local band=$((box_top - main_top)) black white other
  ((band > 0)) || fail "the end box $GEOMETRY hides the top of the scene"
  read -r black white other < <(pixels "$main" 0 0 $CLIENT_W $band)
  ((white + other == 0)) || fail "the end box came up with $((white + other)) pixels not black"
  local box=$WINDOW
  press_enter_in_box
  # One box, then the end: clicks that were already on their way must not bring up another.
  for _ in $(seq 100); do
    program_running || break
    if our_windows | awk -v main="$main" -v box="$box" '$1 != main && $1 != box' | grep -q .; then
      fail "after Enter on the end box another end box came up instead of the program ending"
    fi
    sleep 0.1
  done
  wait_exit 1
  ((EXIT_CODE == 0)) || fail "exit code $EXIT_CODE after the end box, expected 0"
}

"case_$CASE"
echo "PASS: $CASE"
