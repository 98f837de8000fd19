#!/bin/bash
# Draws the setup program's artwork into OUTDIR:
#   logo.bmp   64 x 64, 16 colours (RLE4): the product logo in the dialog
#   menu.bmp   307 x 175, 16 colours (RLE4): the CAD menu bar with our menu
#              opened
#   setup.ico  48, 32 and 16 pixels, each at 4, 8 and 32 bits per pixel
# and the two pictures for displays at 125, 150 and 200 % (120, 144 and
# 192 dpi), drawn afresh at that size rather than stretched:
#   logoNNN.bmp  80, 96 and 128 pixels square, 16 colours (RLE4)
#   menuNNN.bmp  384 x 219, 461 x 263 and 614 x 350, the same 16 colours (RLE4)
#   *NNN.pak     each of those range-coded, as the program carries them
# ImageMagick draws and quantises; tools/pack-artwork.py writes the files.
#
#   tools/make-artwork.sh OUTDIR
set -euo pipefail

if (( $# != 1 )); then
  echo "usage: $0 OUTDIR" >&2
  exit 2
fi
outdir=$1
here=$(cd "$(dirname "$0")" && pwd)
# Not whatever "convert" comes first on PATH: Debian's ImageMagick 6.
im=/usr/bin/convert
py=/usr/bin/python3
pack=$here/pack-artwork.py
readonly im py pack
font=WenQuanYi-Zen-Hei        # fonts-wqy-zenhei: the Chinese menu text

for tool in "$im" "$py"; do
  [[ -x $tool ]] || { echo "$0: $tool is missing" >&2; exit 1; }
done
if ! "$im" -list font | grep -q "Font: $font\$"; then
  echo "$0: ImageMagick does not know the font $font (install fonts-wqy-zenhei)" >&2
  exit 1
fi

mkdir -p "$outdir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Everything is written here first and moved into OUTDIR at the end, so
# that a failed run leaves no file behind that looks up to date.
mkdir "$work/out"

# --- The motif: a stack of plot sheets with a large green V ----------------
# The dialog's background is rgb(170,210,150); its titles rgb(10,70,40).

# Sizes of 32 pixels and up, in a 256-unit box; outlines about one pixel.
motif_mvg() {
  local size=$1
  local u=$(( 256 / size ))
  local rule=$(( u > 4 ? u : 4 ))
  cat <<MVG
stroke-linejoin miter
stroke rgb(62,104,74) stroke-width $u
fill rgb(206,224,198)
rectangle 92,12 232,176
fill rgb(230,240,224)
rectangle 64,34 204,198
fill white
polygon 30,58 144,58 176,90 176,242 30,242
fill rgb(196,218,186)
polygon 144,58 144,90 176,90
stroke rgb(150,186,150) stroke-width $rule
line 46,80 128,80
line 46,98 110,98
stroke none
fill rgb(72,164,84)
polygon 60,104 112,104 146,206 180,104 232,104 174,250 118,250
fill rgb(26,112,56)
polygon 146,206 180,104 232,104 174,250 146,250
stroke rgb(10,70,40) stroke-width $(( u * 3 / 2 )) fill none
polygon 60,104 112,104 146,206 180,104 232,104 174,250 118,250
MVG
}

# 16 pixels, drawn on the pixel grid itself: one sheet behind, a narrower V.
motif16_mvg() {
  cat <<'MVG'
stroke-linejoin miter
stroke rgb(62,104,74) stroke-width 1
fill rgb(214,230,206)
rectangle 5.5,0.5 14.5,10.5
fill white
polygon 0.5,2.5 8.5,2.5 10.5,4.5 10.5,14.5 0.5,14.5
stroke rgb(10,70,40)
fill rgb(60,150,76)
polygon 2.5,6.5 6,6.5 9,13 12,6.5 15.5,6.5 11,15.5 7,15.5
MVG
}

# render_motif SIZE BACKGROUND OUT.png: drawn 8 times larger, then averaged
# down, which anti-aliases without ImageMagick's per-primitive blending.
render_motif() {
  local size=$1 background=$2 out=$3
  local big=$(( size * 8 )) mvg scale
  if (( size == 16 )); then
    mvg=$(motif16_mvg); scale=8
  else
    mvg=$(motif_mvg "$size"); scale=$("$py" -c "print($big / 256)")
  fi
  "$im" -size "${big}x${big}" "xc:$background" \
    -draw "scale $scale,$scale
$mvg" -scale "${size}x${size}" "$out"
}

# The display scales beside 100 %, and a length at 100 % at each of them.
scales=(125 150 200)
scaled() { echo $(( ($1 * $2 + 50) / 100 )); }

# --- logo.bmp, logoNNN.bmp ---------------------------------------------------
# Flat fills with smoothed edges: 16 colours of its own lose little to see,
# and run-length codes keep each size small. The colour the quantiser makes
# of the background is set back to the dialog's own, so no edge shows.
for scale in 100 "${scales[@]}"; do
  size=$(scaled 64 "$scale") name=logo$scale
  (( scale == 100 )) && name=logo
  render_motif "$size" 'rgb(170,210,150)' "$work/$name.png"
  "$im" "$work/$name.png" -alpha off -dither None -colors 16 \
    -fuzz 2% -fill 'rgb(170,210,150)' -opaque 'rgb(170,210,150)' -depth 8 "rgb:$work/$name.rgb"
  "$py" "$pack" rle "$size" "$size" "$work/$name.rgb" "$work/out/$name.bmp"
done

# --- setup.ico --------------------------------------------------------------
# Paletted images get a one-bit transparency (their AND mask) and the
# image's own palette: ImageMagick keeps one of the 16 or 256 colours for
# the transparent pixels, which the packer turns into black.
icon_args=()
for size in 48 32 16; do
  render_motif "$size" none "$work/icon$size.png"
  for bpp in 4 8; do
    "$im" "$work/icon$size.png" -channel A -threshold 50% +channel \
      -dither None -colors $(( 1 << bpp )) -depth 8 "rgba:$work/icon$size-$bpp.rgba"
    icon_args+=("$size:$bpp:$work/icon$size-$bpp.rgba")
  done
  "$im" "$work/icon$size.png" -depth 8 "rgba:$work/icon$size-32.rgba"
  icon_args+=("$size:32:$work/icon$size-32.rgba")
done
"$py" "$pack" ico "$work/out/setup.ico" "${icon_args[@]}"

# --- menu.bmp, menuNNN.bmp ---------------------------------------------------
# A CAD window's title and menu bar, with our menu opened at the end of the
# bar over the drawing. Drawn in 12-pixel text, as Windows draws menus, and
# mapped without dithering onto the 16 colours below. The larger sizes draw
# the same picture scaled as a drawing, so that text and lines stay sharp.
face='rgb(240,240,236)' light='rgb(214,214,208)' mid='rgb(160,160,156)'
shadow='rgb(100,100,98)' green='rgb(10,70,40)' hover='rgb(170,210,150)'
paper='rgb(36,42,50)' titlebar='rgb(52,70,92)' grid='rgb(88,100,112)'
cyan='rgb(120,200,220)' yellow='rgb(236,204,84)' red='rgb(212,72,60)'
# The two last ones only smooth the text's edges.
palette=(
  'rgb(0,0,0)' 'rgb(255,255,255)' "$face" "$light" "$mid" "$shadow" "$green" "$hover"
  "$paper" "$titlebar" "$grid" "$cyan" "$yellow" "$red" 'rgb(58,58,58)' 'rgb(78,134,96)'
)

width=307 height=175
text_width() {
  "$im" -font "$font" -pointsize 12 label:"$1" -format '%w' info:
}

mvg="$work/menu.mvg"
: > "$mvg"
add() { printf '%s\n' "$@" >> "$mvg"; }
# label X BASELINE COLOUR TEXT [ACCESS]: text, with the access key's letter
# underlined as Windows shows it.
label() {
  local x=$1 y=$2 colour=$3 text=$4 key=${5:-}
  add "fill $colour stroke none" "text $x,$y '$text'"
  if [[ -n $key ]]; then
    local before=${text%%"($key)"*}
    local x0=$(( x + $(text_width "$before(") )) x1
    x1=$(( x + $(text_width "$before($key") - 1 ))
    add "stroke $colour stroke-width 1 line $x0,$(( y + 2 )).5 $x1,$(( y + 2 )).5"
  fi
}

add "font '$font' font-size 12 stroke-antialias 0"

# The drawing area: a dark model space with a small floor plan.
add "fill $paper stroke none rectangle 0,40 306,174"
add "stroke $grid stroke-width 1 fill none"
for (( gx = 12; gx < width; gx += 24 )); do
  for (( gy = 52; gy < height; gy += 24 )); do
    add "point $gx,$gy"
  done
done
add "push graphic-context" "translate 14,0" "stroke white stroke-width 1 fill none" \
    "rectangle 36.5,66.5 156.5,140.5" "rectangle 40.5,70.5 152.5,136.5" \
    "line 96.5,70.5 96.5,104.5" "line 96.5,118.5 96.5,136.5" \
    "line 40.5,100.5 64.5,100.5" "line 78.5,100.5 96.5,100.5"
add "stroke $cyan line 64.5,100.5 64.5,86.5" "stroke-antialias 1" \
    "arc 50.5,72.5 78.5,128.5 270,360" "stroke-antialias 0"
add "stroke $red stroke-antialias 1 circle 126.5,94.5 134.5,94.5 stroke-antialias 0" \
    "line 120.5,94.5 132.5,94.5" "line 126.5,88.5 126.5,100.5"
add "stroke $yellow line 36.5,154.5 156.5,154.5" \
    "line 36.5,148.5 36.5,160.5" "line 156.5,148.5 156.5,160.5" \
    "line 33.5,157.5 39.5,151.5" "line 153.5,157.5 159.5,151.5"
label 84 150 "$yellow" '3600'
add "pop graphic-context"
# The coordinate system icon in the corner.
add "stroke white line 8.5,166.5 24.5,166.5" "line 8.5,166.5 8.5,150.5" \
    "fill white stroke none polygon 25,164 29,166.5 25,169 polygon 6,150 8.5,146 11,150"
add "font-size 9 stroke-antialias 1" "fill white text 28,161 'X' text 12,152 'Y'" \
    "font-size 12 stroke-antialias 0"

# Title bar with the window buttons.
add "fill $titlebar stroke none rectangle 0,0 306,19"
label 8 14 white 'Drawing1.dwg'
for (( i = 0; i < 3; i++ )); do
  bx=$(( 250 + i * 19 ))
  if (( i == 2 )); then bc=$red; else bc=$grid; fi
  add "fill $bc stroke none rectangle $bx,3 $(( bx + 16 )),16"
done
add "stroke white stroke-width 1 fill none" \
    "line 255.5,12.5 261.5,12.5" "rectangle 274.5,6.5 280.5,12.5" "line 274.5,7.5 280.5,7.5" \
    "line 293.5,6.5 299.5,12.5" "line 293.5,12.5 299.5,6.5"

# Menu bar; our menu comes last, opened.
add "fill $face stroke none rectangle 0,20 306,39" \
    "stroke $light stroke-width 1 line 0,39.5 306,39.5"
x=2
for item in '文件(F):F' '编辑(E):E' '绘图(D):D' '帮助(H):H'; do
  text=${item%:*}
  label $(( x + 7 )) 34 black "$text" "${item##*:}"
  x=$(( x + $(text_width "$text") + 14 ))
done
ours='V-批打印'
ours_width=$(( $(text_width "$ours") + 14 ))
add "fill $green stroke none rectangle $x,21 $(( x + ours_width - 1 )),39"
label $(( x + 7 )) 34 white "$ours"

# The dropped list, right-aligned to the window as Windows does at the edge.
items=('批量打印...' '打印设置...' - '页面排序' - '帮助' '关于...')
list_width=0
for item in "${items[@]}"; do
  [[ $item == - ]] && continue
  w=$(text_width "$item")
  (( w > list_width )) && list_width=$w
done
list_width=$(( list_width + 24 + 28 ))
list_height=4
for item in "${items[@]}"; do
  if [[ $item == - ]]; then list_height=$(( list_height + 7 )); else list_height=$(( list_height + 20 )); fi
done
x1=$(( width - 4 )) x0=$(( width - 4 - list_width ))
y0=40 y1=$(( 40 + list_height - 1 ))
add "fill black stroke none rectangle $(( x0 + 3 )),$(( y1 + 1 )) $(( x1 + 3 )),$(( y1 + 3 ))" \
    "rectangle $(( x1 + 1 )),$(( y0 + 3 )) $(( x1 + 3 )),$(( y1 + 3 ))"
add "fill $face stroke $mid stroke-width 1 rectangle $x0.5,$y0.5 $(( x1 - 1 )).5,$(( y1 - 1 )).5"
y=$(( y0 + 2 ))
first=1
for item in "${items[@]}"; do
  if [[ $item == - ]]; then
    add "stroke $light line $(( x0 + 26 )),$(( y + 3 )).5 $(( x1 - 4 )),$(( y + 3 )).5"
    y=$(( y + 7 ))
    continue
  fi
  if (( first )); then
    # The hovered entry, with the printer glyph in the icon column.
    add "fill $hover stroke $green stroke-width 1 rectangle $(( x0 + 2 )).5,$y.5 $(( x1 - 3 )).5,$(( y + 19 )).5"
    ix=$(( x0 + 6 )) iy=$(( y + 3 ))
    add "fill white stroke $shadow rectangle $(( ix + 3 )).5,$iy.5 $(( ix + 10 )).5,$(( iy + 5 )).5" \
        "fill $mid rectangle $ix.5,$(( iy + 5 )).5 $(( ix + 13 )).5,$(( iy + 10 )).5" \
        "fill white rectangle $(( ix + 3 )).5,$(( iy + 9 )).5 $(( ix + 10 )).5,$(( iy + 13 )).5" \
        "stroke $green line $(( ix + 5 )),$(( iy + 11 )).5 $(( ix + 8 )),$(( iy + 11 )).5" \
        "stroke none fill $green rectangle $(( ix + 11 )),$(( iy + 6 )) $(( ix + 12 )),$(( iy + 7 ))"
    first=0
  fi
  label $(( x0 + 30 )) $(( y + 14 )) black "$item"
  y=$(( y + 20 ))
done

# The mouse pointer resting on the first entry.
cx=$(( x0 + 95 )) cy=$(( y0 + 11 ))
add "fill white stroke black stroke-width 1 polygon" \
    "$cx.5,$cy.5 $cx.5,$(( cy + 15 )).5 $(( cx + 4 )).5,$(( cy + 11 )).5 $(( cx + 7 )).5,$(( cy + 17 )).5 $(( cx + 9 )).5,$(( cy + 16 )).5 $(( cx + 6 )).5,$(( cy + 10 )).5 $(( cx + 11 )).5,$(( cy + 10 )).5"

"$im" "${palette[@]/#/xc:}" +append -depth 8 "rgb:$work/palette.rgb"
"$im" -size 1x1 "${palette[@]/#/xc:}" +append "$work/palette.png"
# draw_menu SCALE OUT.bmp
draw_menu() {
  local scale=$1 out=$2 w h factor
  w=$(scaled "$width" "$scale") h=$(scaled "$height" "$scale")
  factor=$(printf '%d.%02d' $(( scale / 100 )) $(( scale % 100 )))
  "$im" -size "${w}x${h}" "xc:$face" -draw "scale $factor,$factor
$(cat "$mvg")" \
    -alpha off -dither None -remap "$work/palette.png" -depth 8 "rgb:$work/menu$scale.rgb"
  "$py" "$pack" rle4 "$w" "$h" "$work/menu$scale.rgb" "$work/palette.rgb" "$out"
}
draw_menu 100 "$work/out/menu.bmp"
for scale in "${scales[@]}"; do
  draw_menu "$scale" "$work/out/menu$scale.bmp"
  for picture in logo menu; do
    "$py" "$pack" pack "$work/out/$picture$scale.bmp" "$work/out/$picture$scale.pak"
  done
done

mv -f "$work/out/"*.bmp "$work/out/"*.pak "$work/out/setup.ico" "$outdir/"
