#!/usr/bin/env bash
# Tests of spritecheck and simulate, one case per call:
#   test_tools.sh CASE SPRITECHECK SIMULATE SOURCE_DIR WORK_DIR
# Fixture pictures are written here with printf, so the tests need nothing but bash.
set -euo pipefail

case_name=$1
spritecheck=$2
simulate=$3
source_dir=$4
work=$5
rm -rf "$work"
mkdir -p "$work"
cd "$work"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Little-endian bytes of a number, as printf escapes.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) \
  $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)); }
# A colour "r g b" as the BGR bytes a BMP stores.
bgr() { printf '\\x%02x\\x%02x\\x%02x' "$3" "$2" "$1"; }

# write_bmp FILE WIDTH HEIGHT KEY FILL: a bottom-up 24-bit BMP, every pixel FILL except the
# top-left one, which is KEY (colours as "r g b").
write_bmp() {
  local file=$1 width=$2 height=$3 key fill
  key=$(bgr $4)
  fill=$(bgr $5)
  local stride=$(((width * 3 + 3) / 4 * 4))
  local pad=$((stride - width * 3))
  local size=$((54 + stride * height))
  {
    printf "BM$(le32 $size)\\x00\\x00\\x00\\x00$(le32 54)"
    printf "$(le32 40)$(le32 "$width")$(le32 "$height")$(le16 1)$(le16 24)$(le32 0)"
    printf "$(le32 $((stride * height)))$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)"
    # Rows as printf escapes; rows are stored bottom first, so the top-left pixel starts the last.
    local padding="" row="" i
    for ((i = 0; i < pad; i++)); do padding+='\x00'; done
    for ((i = 1; i < width; i++)); do row+=$fill; done
    for ((i = 1; i < height; i++)); do printf "$fill$row$padding"; done
    printf "$key$row$padding"
  } >"$file"
}

# expect_line OUTPUT LINE: the output holds exactly that line.
expect_line() {
  grep -qxF -- "$2" <<<"$1" || fail "no line '$2' in:
$1"
}

# run_tool EXPECTED_STATUS COMMAND...: runs it, checks its exit status, keeps its output in $out.
run_tool() {
  local expected=$1 status=0
  shift
  out=$("$@" 2>&1) || status=$?
  [[ $status == "$expected" ]] || fail "$* exited $status, expected $expected:
$out"
}

# The all-black share at a level, from simulate's table row "| level | ... | N.N % (k/n) |".
dark_frames_at() {
  awk -F'|' -v level="$2" '$2 + 0 == level && NF > 3 { split($4, part, "[(/]"); print part[2] }' <<<"$1"
}

case $case_name in
spritecheck_bundled)
  run_tool 0 "$spritecheck" "$source_dir/dat/fiwa.bmp"
  expect_line "$out" "format: BMP (chosen by the file name, as the game does)"
  expect_line "$out" "size: 100x200"
  expect_line "$out" "key colour: 255,0,255 (r,g,b)"
  expect_line "$out" "roots: 854"
  expect_line "$out" "game: starts"
  ;;
spritecheck_too_small)
  write_bmp small.bmp 99 200 "0 255 0" "255 0 0"
  run_tool 0 "$spritecheck" small.bmp
  expect_line "$out" "size: 99x200"
  expect_line "$out" "key colour: 0,255,0 (r,g,b)"
  expect_line "$out" "roots: not counted"
  expect_line "$out" "game: refuses: small.bmp: スプライトが小さすぎます (幅 99, 高さ 200; 幅 100, 高さ 200 以上が必要です)"
  ;;
spritecheck_not_image)
  printf 'just some words\n' >words.bmp
  run_tool 1 "$spritecheck" words.bmp
  expect_line "$out" "decoded: no"
  grep -q '^game: refuses: words.bmp: ' <<<"$out" || fail "no decoder message in: $out"
  if grep -q '^roots:' <<<"$out"; then fail "roots counted for a file that did not decode"; fi
  # The same bytes under a JPEG name go to the JPEG reader, which refuses them too.
  cp words.bmp words.jpg
  run_tool 1 "$spritecheck" words.jpg
  expect_line "$out" "format: JPEG (chosen by the file name, as the game does)"
  grep -q '^game: refuses: words.jpg: ' <<<"$out" || fail "no decoder message in: $out"
  run_tool 1 "$spritecheck" missing.bmp
  grep -q '^game: refuses: .*missing.bmp' <<<"$out" || fail "no open error in: $out"
  ;;
spritecheck_jpeg)
  run_tool 0 "$spritecheck" "$source_dir/tests/data/jpeg/progressive.jpg"
  expect_line "$out" "format: JPEG (chosen by the file name, as the game does)"
  grep -q '^header: progressive, 3 components' <<<"$out" || fail "no JPEG header line in: $out"
  expect_line "$out" "size: 16x16"
  ;;
spritecheck_dump)
  # Key white, every other pixel pure red: after keying all but the corner would be roots.
  write_bmp red.bmp 100 200 "255 255 255" "255 0 0"
  run_tool 0 "$spritecheck" red.bmp --dump red.ppm
  expect_line "$out" "roots: 19999"
  head -c 15 red.ppm | cmp -s - <(printf 'P6\n100 200\n255\n') || fail "bad PPM header"
  [[ $(stat -c %s red.ppm) == $((15 + 100 * 200 * 3)) ]] || fail "PPM is $(stat -c %s red.ppm) bytes"
  # Decoded, not keyed: the corner keeps the key colour and the roots stay red (r,g,b order).
  [[ $(od -An -tu1 -j15 -N6 red.ppm | xargs) == "255 255 255 255 0 0" ]] ||
    fail "PPM starts with $(od -An -tu1 -j15 -N6 red.ppm)"
  [[ $(tail -c 3 red.ppm | od -An -tu1 | xargs) == "255 0 0" ]] || fail "PPM ends wrongly"
  ;;
spritecheck_usage)
  run_tool 2 "$spritecheck"
  grep -q '^usage: spritecheck FILE' <<<"$out" || fail "no usage line: $out"
  run_tool 2 "$spritecheck" a.bmp b.bmp
  run_tool 2 "$spritecheck" a.bmp --bogus
  run_tool 2 "$simulate" --frames zero
  grep -q '^usage: simulate' <<<"$out" || fail "no usage line: $out"
  ;;
simulate_no_roots)
  # A plain sprite: the scene always keeps its white background.
  write_bmp plain.bmp 100 200 "0 255 0" "0 0 255"
  run_tool 0 "$simulate" --sprite plain.bmp --quick --click-rate 8
  grep -q '^sprite: plain.bmp, 0 roots$' <<<"$out" || fail "roots line missing: $out"
  for level in 10 300; do
    [[ $(dark_frames_at "$out" $level) == 0 ]] || fail "all-black frames at level $level: $out"
  done
  grep -q '^| *8 | *0/2 |' <<<"$out" || fail "a game ended without tendrils: $out"
  ;;
simulate_dense)
  # Every pixel a root: at the top level the tendrils cover the whole scene, at the bottom never.
  write_bmp red.bmp 100 200 "255 255 255" "255 0 0"
  run_tool 0 "$simulate" --sprite red.bmp --quick --click-rate 50 --cap 20
  grep -q '^sprite: red.bmp, 19999 roots$' <<<"$out" || fail "roots line missing: $out"
  [[ $(dark_frames_at "$out" 300) -gt 0 ]] || fail "no all-black frame at level 300: $out"
  [[ $(dark_frames_at "$out" 10) == 0 ]] || fail "all-black frames at level 10: $out"
  # 50 clicks a second outrun the decay, so the level reaches the top in seconds and ends it.
  grep -q '^| *50 | *2/2 |' <<<"$out" || fail "the game did not end: $out"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok: $case_name"
