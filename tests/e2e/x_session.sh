# shellcheck shell=bash
# x_session.sh: a real X server for end-to-end scripts, and what they read off its screen.
# Source it; it defines:
#   start_x_server DIR [WxH]  starts Xvfb (512x384 unless given, 24 bits, no window manager),
#                        keeping its display number and log in DIR; exports DISPLAY and sets
#                        xvfb_pid. Returns 1 after printing why when the server does not come up.
#   screenshot PNG       the whole screen as PNG (xwd, then ImageMagick's convert).
#   pixel_counts PNG     prints "LIT ORANGE": the non-black pixels, and how many of them have the
#                        shape of the mesh colour 0xFA8008 scaled by a shading intensity.
#   wait_for_picture PNG takes screenshots into PNG until more than 2000 pixels are lit (15 s at
#                        most, or until the program $demo_pid ends); sets lit and orange.
#   end_with_escape      presses Escape and waits up to 10 s for $demo_pid to end (killing it
#                        after that); returns the program's exit status, or 124 when it was killed.
# The caller kills $xvfb_pid when done.

start_x_server() {
  local dir=$1 size=${2:-512x384}
  # Xvfb picks a free display number itself and writes it to the given descriptor.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
  # shellcheck disable=SC2034  # read by the caller
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$dir/display" ]; then
    echo "Xvfb did not start: $(tail -n 1 "$dir/xvfb.log")"
    return 1
  fi
  DISPLAY=":$(head -n 1 "$dir/display")"
  export DISPLAY
}

screenshot() {
  timeout 10 xwd -root -silent >"${1%.png}.xwd" && timeout 20 convert "${1%.png}.xwd" "$1"
}

# shellcheck disable=SC2034  # lit and orange are read by the caller
wait_for_picture() {
  lit=0
  orange=0
  for _ in $(seq 60); do
    sleep 0.25
    kill -0 "$demo_pid" 2>/dev/null || break
    screenshot "$1" || continue
    read -r lit orange < <(pixel_counts "$1")
    [ "$lit" -gt 2000 ] && break
  done
}

end_with_escape() {
  local pid=$demo_pid
  timeout 10 xdotool key Escape
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  demo_pid=""
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    wait "$pid"
    return 124
  fi
  wait "$pid"
}

# Shading keeps red >= green >= blue (truncation may make neighbours equal) and red > blue.
# A line of "convert ... txt:" reads "x,y: (r,g,b)  #RRGGBB  srgb(r,g,b)", so the channels are
# fields 3 to 5 when splitting at parentheses and commas.
pixel_counts() {
  convert "$1" -depth 8 txt:- | awk -F'[(),]' '
    NR > 1 { r = $3 + 0; g = $4 + 0; b = $5 + 0
         if (r + g + b > 0) { lit++; if (r >= g && g >= b && r > b) orange++ } }
    END { print lit + 0, orange + 0 }'
}
