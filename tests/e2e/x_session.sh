# shellcheck shell=bash
# x_session.sh: a real X server for end-to-end scripts, and what they read off its screen.
# Source it; it defines:
#   start_x_server DIR   starts Xvfb (512x384, 24 bits, no window manager), keeping its display
#                        number and log in DIR; exports DISPLAY and sets xvfb_pid. Returns 1
#                        after printing why when the server does not come up.
#   screenshot PNG       the whole screen as PNG (xwd, then ImageMagick's convert).
#   pixel_counts PNG     prints "LIT ORANGE": the non-black pixels, and how many of them have the
#                        shape of the mesh colour 0xFA8008 scaled by a shading intensity.
# The caller kills $xvfb_pid when done.

start_x_server() {
  local dir=$1
  # Xvfb picks a free display number itself and writes it to the given descriptor.
  Xvfb -displayfd 3 -screen 0 512x384x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
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

# Shading keeps red >= green >= blue (truncation may make neighbours equal) and red > blue.
# A line of "convert ... txt:" reads "x,y: (r,g,b)  #RRGGBB  srgb(r,g,b)", so the channels are
# fields 3 to 5 when splitting at parentheses and commas.
pixel_counts() {
  convert "$1" -depth 8 txt:- | awk -F'[(),]' '
    NR > 1 { r = $3 + 0; g = $4 + 0; b = $5 + 0
         if (r + g + b > 0) { lit++; if (r >= g && g >= b && r > b) orange++ } }
    END { print lit + 0, orange + 0 }'
}
