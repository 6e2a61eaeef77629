#!/usr/bin/env bash
# The window's look end to end: the real tunora on a virtual X server, at scale 1 (1024x768) and
# at QT_SCALE_FACTOR=2 (1600x1000), each time playing in turn a song whose album has a cover, a
# song with no picture (the default cover picture shows), a video (its picture moves) and a song
# with a 300-character title. Each screenshot is measured: the five stars of the imported songs
# are in colour, the window lies on the screen, the picture area is not one colour (and, for the
# video, changes within a second), and no text of the left panel reaches the divider or the
# picture area. The screenshots stay in OUT_DIR.
# Usage: desktop_look_test.sh BUILD_DIR SHOT_CHECK OUT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
check=$2
out=$3
# shellcheck source=tests/support/desktop_session.sh
source "$(dirname "$0")/../../support/desktop_session.sh"
mkdir -p "$out"
rm -f "$out"/*.png

music="$tmp/Music"
# song FILE TITLE ARTIST: a 30-second tagged WAV (long enough to be still playing when grabbed).
song() {
  mkdir -p "$(dirname "$1")"
  ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=30 -metadata title="$2" \
    -metadata artist="$3" -metadata album="$(basename "$(dirname "$1")")" "$1" ||
    fail "ffmpeg could not write $1"
}
cover_song="$music/Cover Artist/Covered Album/01 Covered Song.wav"
song "$cover_song" "Covered Song" "Cover Artist"
# The album's picture as "Folder.jpg": the colour test picture.
ffmpeg -loglevel error -f lavfi -i testsrc2=size=256x256 -frames:v 1 \
  "$(dirname "$cover_song")/Folder.jpg" || fail "ffmpeg could not write the cover"
plain_song="$music/Élodie Brûlé/Sans Image/01 Chanson à l'été.wav"
song "$plain_song" "Chanson à l'été" "Élodie Brûlé"
long_title=$(printf 'A Very Long Title %.0s' $(seq 17) | cut -c1-300)
long_song="$music/Long/Titles/01 Long.wav"
song "$long_song" "$long_title" "Long Artist"
# A video of the moving test picture.
mkdir -p "$music/Videos/Tests"
video="$music/Videos/Tests/Test Pattern.avi"
ffmpeg -loglevel error -f lavfi -i testsrc=duration=30:size=320x240:rate=25 \
  -f lavfi -i sine=duration=30 -c:v mjpeg -q:v 5 -c:a pcm_s16le "$video" ||
  fail "ffmpeg could not write the video"
"$build/tunora-cli" table create-song "$data/Tunora.mbf" >/dev/null
"$build/tunora-cli" import --db "$data/Tunora.mbf" "$music/" | grep -q "Import Complete" ||
  fail "the import failed"
"$build/tunora-cli" settings defaults --db "$data/Tunora.mbf" "$data/dTunora.dat" >/dev/null
cp "$data/dTunora.dat" "$tmp/settings.dat"

# shoot SCALE NAME SONG: tunora started on SONG (the top of its play list), the window grabbed as
# OUT_DIR/NAME.png once the song plays and its cover had time to load; for the video a second
# screenshot NAME-later.png a second later. Sets W and H (the window's size in screen pixels).
shoot() {
  local scale=$1 name=$2 song=$3 geometry
  cp "$tmp/settings.dat" "$data/dTunora.dat"
  printf '%s\r\n' "$song" "$plain_song" >"$data/PL1.m3u"
  QT_SCALE_FACTOR=$scale "$build/tunora" s 2>"$tmp/trace.log" &
  pid=$!
  for _ in $(seq 600); do  # up to 60 s under load
    grep -qF "tunora: song $song" "$tmp/trace.log" && break
    kill -0 "$pid" 2>/dev/null || fail "tunora ended early"
    sleep 0.1
  done
  grep -qF "tunora: song $song" "$tmp/trace.log" || fail "$name: the song did not start"
  sleep 4  # the cover loader's tick, the video's first frames and the repaint
  geometry=$(xwininfo -root -tree | grep '"Tunora": ("tunora"' |
    sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\3 \4 \1 \2/' |
    head -1)
  [ -n "$geometry" ] || fail "$name: no window"
  read -r X Y W H <<<"$geometry"
  # shellcheck disable=SC2086
  "$build/tunora-screen-grab" "$out/$name.png" $geometry
  if [ "$song" = "$video" ]; then
    sleep 1
    # shellcheck disable=SC2086
    "$build/tunora-screen-grab" "$out/$name-later.png" $geometry
  fi
  kill -TERM "$pid"
  expect_exit 60 0 "the close"
  echo "$name: window at $X,$Y size ${W}x$H"
}

# measure PNG [OTHER_PNG] RECT...: the four counts shot_check prints for a rectangle given in
# window pixels: colours, pixels in colour, dark pixels, pixels that differ in OTHER_PNG.
measure() { "$check" "$@"; }

# look SCALE SCREEN_W SCREEN_H: the four screenshots at a scale and their checks.
look() {
  local scale=$1 sw=$2 sh=$3 s name
  for name in cover plain video long; do
    case $name in
      cover) s=$cover_song ;; plain) s=$plain_song ;; video) s=$video ;; long) s=$long_song ;;
    esac
    shoot "$scale" "scale$scale-$name" "$s"
    local shot="$out/scale$scale-$name.png"
    # The window, status bar included, lies on the screen.
    if [ $((X + W)) -gt "$sw" ] || [ $((Y + H)) -gt "$sh" ] || [ "$X" -lt 0 ] || [ "$Y" -lt 0 ]; then
      fail "$name at scale $scale: window ${W}x$H at $X,$Y is off the ${sw}x$sh screen"
    fi
    # In logical pixels: the stars at (5, 56) or lower, five of them 100 wide.
    local colours coloured pic_x pic_w half side strip_x dark
    read -r colours coloured _ <<<"$(measure "$shot" $((5 * scale)) $((56 * scale)) \
      $((100 * scale)) $((30 * scale)))"
    echo "$name: star area $colours colours, $coloured pixels in colour"
    [ "$coloured" -gt $((300 * scale * scale)) ] || fail "$name at scale $scale: no stars"
    # The picture area: upper right, W/2 wide from the top of the display to H/2 + 30.
    # half: the window's logical H/2, in screen pixels.
    pic_x=$((W / 2)); pic_w=$((W - W / 2)); half=$((H / scale / 2)); half=$((half * scale))
    read -r colours coloured _ <<<"$(measure "$shot" "$pic_x" $((30 * scale)) "$pic_w" "$half")"
    echo "$name: picture area $colours colours"
    [ "$colours" -gt 16 ] || fail "$name at scale $scale: the picture area is one colour"
    # No text from the left panel at the divider or in the picture area's white strip left of the
    # square picture (S = min(W/2, H/2)); the video fills the whole area.
    side=$((pic_w < half ? pic_w : half))
    [ "$name" = video ] && side=$pic_w
    strip_x=$((W / 2 - 10 * scale))
    read -r _ _ dark _ <<<"$(measure "$shot" "$strip_x" $((30 * scale)) $((W - side - strip_x)) \
      $((half - 30 * scale)))"
    echo "$name: dark pixels between the divider and the picture: $dark"
    [ "$dark" = 0 ] || fail "$name at scale $scale: text reaches into the picture area"
    if [ "$name" = video ]; then
      local later="$out/scale$scale-$name-later.png" differ
      read -r _ _ _ differ <<<"$(measure "$shot" "$later" "$pic_x" $((30 * scale)) "$pic_w" \
        "$half")"
      echo "video: $differ pixels changed within a second"
      [ "$differ" -gt 1000 ] || fail "the video's picture does not move at scale $scale"
    fi
  done
}

start_xvfb 1024x768
look 1 1024 768
kill "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null || true
start_xvfb 1600x1000
look 2 1600 1000
echo "tunora: the window's look checked at scales 1 and 2; screenshots in $out"
