#!/bin/sh
# Draws the page's pictures into page/images/ (or the folder given as $1).
# The outputs are checked in, so the build does not need ImageMagick; run this
# again after changing the artwork and commit the pictures it writes.
#
# Sprite sheet sps.gif (480 x 320), positions used by css/page.css:
#   main tab      normal   0,0    121x42   selected   0,42
#   inner tab     normal 130,0    103x28   selected 130,28
#   btn-big       normal   0,90    90x22   hover      0,112
#   btn-large     normal 100,90    65x22   hover    100,112
#   btn-little    normal 175,90    44x19   hover    175,112
#   progress frame         0,140  235x14
#   help bullet   closed 250,0     12x12   open     250,20
set -eu

OUT=${1:-$(dirname "$0")/../images}
mkdir -p "$OUT"
FONT=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc
IM=convert
[ -x /usr/bin/convert ] && IM=/usr/bin/convert

BLUE='#1c91dc'
DEEP='#0d4f86'
LINE='#b9cfe0'
SOFT='#eaf4fb'

# Background of the whole page with the title artwork.
"$IM" -size 830x565 gradient:'#f3f7fa'-'#e3ecf3' \
  \( -size 70x830 gradient:"$DEEP"-'#1f8ad0' -rotate -90 \) -geometry +0+0 -composite \
  -fill 'rgba(255,255,255,0.07)' -draw 'circle 720,10 720,120' -draw 'circle 800,70 800,150' \
  -fill 'rgba(255,255,255,0.05)' -draw 'circle 610,-40 610,60' \
  -fill white -draw 'circle 38,35 38,13' \
  -fill "$BLUE" -draw 'circle 38,35 38,18' \
  -stroke white -strokewidth 3 -fill none \
  -draw 'path "M 24,32 Q 31,25 38,32 T 52,32"' -draw 'path "M 24,41 Q 31,34 38,41 T 52,41"' \
  -stroke none -font "$FONT" -fill white -pointsize 26 -annotate +70+44 '汀岚银行' \
  -fill 'rgba(255,255,255,0.6)' -draw 'rectangle 181,20 182,50' \
  -fill white -pointsize 20 -annotate +194+42 '网银助手' \
  -fill '#cfe6f7' -pointsize 11 -annotate +196+60 '网银安全检测工具' \
  -fill "$LINE" -draw 'rectangle 8,111 821,111' \
  -fill white -stroke "$LINE" -draw 'rectangle 8,112 821,530' -stroke none \
  -fill '#8aa3b8' -pointsize 11 -annotate +722+552 '汀岚银行  版权所有' \
  -strip -quality 90 "JPEG:$OUT/appbg.jpg"

# Sprite sheet: tab faces, button faces, progress frame, help bullets.
"$IM" -size 480x320 xc:none \
  \( -size 121x42 xc:none -fill '#e9f0f6' -stroke "$LINE" -draw 'roundrectangle 1,4 119,47 6,6' \
     \( -size 117x36 gradient:'#fbfdfe'-'#dde8f1' \) -geometry +2+5 \
     -compose over -composite \) -geometry +0+0 -compose over -composite \
  \( -size 121x42 xc:none -fill white -stroke "$LINE" -draw 'roundrectangle 1,1 119,47 6,6' \
     -stroke none -fill "$BLUE" -draw 'roundrectangle 2,1 118,4 3,3' \) -geometry +0+42 -composite \
  \( -size 103x28 xc:none -fill '#eef3f7' -stroke "$LINE" -draw 'roundrectangle 1,3 101,33 5,5' \) \
     -geometry +130+0 -composite \
  \( -size 103x28 xc:none -fill white -stroke "$LINE" -draw 'roundrectangle 1,1 101,33 5,5' \
     -stroke none -fill "$BLUE" -draw 'rectangle 3,1 99,3' \) -geometry +130+28 -composite \
  \( -size 90x22 gradient:white-'#dfeaf3' -fill none -stroke '#8fb2cf' -draw 'roundrectangle 0,0 89,21 4,4' \) -geometry +0+90 -composite \
  \( -size 90x22 gradient:'#f4faff'-'#cfe5f6' -fill none -stroke "$BLUE" -draw 'roundrectangle 0,0 89,21 4,4' \) \
     -geometry +0+112 -composite \
  \( -size 65x22 gradient:white-'#dfeaf3' -fill none -stroke '#8fb2cf' -draw 'roundrectangle 0,0 64,21 4,4' \) \
     -geometry +100+90 -composite \
  \( -size 65x22 gradient:'#f4faff'-'#cfe5f6' -fill none -stroke "$BLUE" -draw 'roundrectangle 0,0 64,21 4,4' \) \
     -geometry +100+112 -composite \
  \( -size 44x19 gradient:white-'#dfeaf3' -fill none -stroke '#8fb2cf' -draw 'roundrectangle 0,0 43,18 3,3' \) \
     -geometry +175+90 -composite \
  \( -size 44x19 gradient:'#f4faff'-'#cfe5f6' -fill none -stroke "$BLUE" -draw 'roundrectangle 0,0 43,18 3,3' \) \
     -geometry +175+112 -composite \
  \( -size 235x14 xc:white -fill none -stroke '#8fb2cf' -draw 'roundrectangle 0,0 234,13 3,3' \) \
     -geometry +0+140 -composite \
  \( -size 12x12 xc:none -fill "$BLUE" -draw 'polygon 3,1 10,6 3,11' \) -geometry +250+0 -composite \
  \( -size 12x12 xc:none -fill "$BLUE" -draw 'polygon 1,3 11,3 6,10' \) -geometry +250+20 -composite \
  -strip +dither -colors 128 "GIF:$OUT/sps.gif"

# Title-area buttons.
"$IM" -size 71x18 gradient:'#2a97dd'-'#155f9c' \
  -fill none -stroke 'rgba(255,255,255,0.6)' -draw 'roundrectangle 0,0 70,17 3,3' -stroke none \
  -font "$FONT" -pointsize 12 -fill white -gravity center -annotate +0+0 '启动向导' \
  -strip +dither -colors 64 "GIF:$OUT/a003.gif"
"$IM" -size 71x18 gradient:'#2a97dd'-'#155f9c' \
  -fill none -stroke 'rgba(255,255,255,0.6)' -draw 'roundrectangle 0,0 70,17 3,3' -stroke none \
  -font "$FONT" -pointsize 12 -fill white -gravity center -annotate +0+0 '企业网银' \
  -strip +dither -colors 64 "GIF:$OUT/a001.gif"
"$IM" -size 71x18 gradient:'#2a97dd'-'#155f9c' \
  -fill none -stroke 'rgba(255,255,255,0.6)' -draw 'roundrectangle 0,0 70,17 3,3' -stroke none \
  -font "$FONT" -pointsize 12 -fill white -gravity center -annotate +0+0 '个人网银' \
  -strip +dither -colors 64 "GIF:$OUT/a002.gif"

# Progress-bar fill: a calm blue with light diagonal stripes.
"$IM" -size 200x12 gradient:'#7cc8f4'-'#1c7fc4' \
  -fill 'rgba(255,255,255,0.18)' \
  -draw 'polygon 0,12 6,0 12,0 6,12' -draw 'polygon 20,12 26,0 32,0 26,12' \
  -draw 'polygon 40,12 46,0 52,0 46,12' -draw 'polygon 60,12 66,0 72,0 66,12' \
  -draw 'polygon 80,12 86,0 92,0 86,12' -draw 'polygon 100,12 106,0 112,0 106,12' \
  -draw 'polygon 120,12 126,0 132,0 126,12' -draw 'polygon 140,12 146,0 152,0 146,12' \
  -draw 'polygon 160,12 166,0 172,0 166,12' -draw 'polygon 180,12 186,0 192,0 186,12' \
  -strip +dither -colors 64 "GIF:$OUT/loading.gif"

# Grey header band of the scan and install tabs.
"$IM" -size 814x103 gradient:'#f8fafc'-'#e7edf2' \
  -fill none -stroke '#d2dde6' -draw 'roundrectangle 0,0 813,102 4,4' \
  -stroke none -fill "$BLUE" -draw 'rectangle 1,1 4,101' \
  -strip +dither -colors 128 "GIF:$OUT/graybg.gif"

# Box frames: a white card exactly around the box (10 px in for the scan tab,
# 35 x 15 px in for the install tab), a soft shadow, a light heading strip.
"$IM" -size 391x137 xc:white \
  -fill '#e9eef2' -draw 'roundrectangle 11,11 383,129 4,4' \
  -fill white -stroke "$LINE" -draw 'roundrectangle 9,9 381,127 3,3' -stroke none \
  -fill "$SOFT" -draw 'rectangle 10,10 380,31' -fill "$LINE" -draw 'rectangle 10,32 380,32' \
  -fill "$BLUE" -draw 'rectangle 13,15 15,26' \
  +dither -colors 64 -strip "GIF:$OUT/brand.gif"
"$IM" -size 672x117 xc:white \
  -fill '#e9eef2' -draw 'roundrectangle 36,16 639,104 4,4' \
  -fill white -stroke "$LINE" -draw 'roundrectangle 34,14 637,102 3,3' -stroke none \
  -fill "$SOFT" -draw 'rectangle 35,15 636,36' -fill "$LINE" -draw 'rectangle 35,37 636,37' \
  -fill "$BLUE" -draw 'rectangle 38,20 40,31' \
  +dither -colors 64 -strip "GIF:$OUT/longbrand.gif"

# Frame of the advanced tab: header strip for progress and status, then the list.
"$IM" -size 782x358 xc:white \
  \( -size 780x72 gradient:'#f8fafc'-'#e9eff4' \) -geometry +1+1 -composite \
  -fill "$LINE" -draw 'rectangle 1,73 780,73' \
  -fill none -stroke "$LINE" -draw 'rectangle 0,0 781,357' \
  -strip +dither -colors 128 "GIF:$OUT/superscan.gif"

# Frame of the help tab: a soft border around the 712 x 317 question area.
"$IM" -size 782x387 xc:"$SOFT" \
  -fill white -stroke "$LINE" -draw 'roundrectangle 34,34 747,352 4,4' \
  -fill none -draw 'roundrectangle 0,0 781,386 6,6' -stroke none \
  -font "$FONT" -pointsize 13 -fill "$DEEP" -annotate +42+23 '常见问题' \
  -fill "$BLUE" -draw 'rectangle 34,12 34,26' \
  -strip +dither -colors 128 "GIF:$OUT/help.gif"

# Guide box and its choice tiles.
"$IM" -size 530x295 xc:white \
  \( -size 528x45 gradient:'#f2f8fd'-'#dcebf7' \) -geometry +1+1 -composite \
  -fill "$BLUE" -draw 'rectangle 1,46 528,47' \
  -fill none -stroke '#7fb0d6' -draw 'rectangle 0,0 529,294' \
  -strip +dither -colors 128 "GIF:$OUT/tipbg.gif"
"$IM" -size 368x138 xc:white \
  -fill '#fbfdfe' -stroke '#d2e0eb' -draw 'roundrectangle 1,1 182,136 6,6' \
  -fill '#eaf5fd' -stroke "$BLUE" -strokewidth 2 -draw 'roundrectangle 186,2 366,135 6,6' \
  -strip +dither -colors 64 "GIF:$OUT/tipbg1.gif"

# The two key pictures of the guide.
"$IM" -size 138x61 xc:none \
  -fill '#c9d2da' -draw 'roundrectangle 100,17 128,35 2,2' -fill '#9aa7b2' -draw 'rectangle 108,22 113,25' \
  -draw 'rectangle 116,22 121,25' \
  -fill '#5d6b78' -draw 'roundrectangle 12,10 102,42 10,10' \
  -fill '#7c8b98' -draw 'roundrectangle 16,13 98,24 6,6' \
  -fill '#e0a100' -draw 'circle 28,33 28,30' \
  -font "$FONT" -pointsize 11 -fill '#333333' -annotate +36+57 '飞天一代Key' \
  -channel A -threshold 50% +channel -strip +dither -colors 64 "GIF:$OUT/pic1.gif"
"$IM" -size 138x61 xc:none \
  -fill '#c9d2da' -draw 'roundrectangle 104,17 130,35 2,2' -fill '#9aa7b2' -draw 'rectangle 111,22 116,25' \
  -draw 'rectangle 119,22 124,25' \
  -fill "$DEEP" -draw 'roundrectangle 8,8 106,44 10,10' \
  -fill '#bfe3f7' -draw 'roundrectangle 18,15 66,31 2,2' \
  -fill '#0b3a63' -font "$FONT" -pointsize 9 -annotate +22+27 'OK?' \
  -fill white -draw 'circle 86,26 86,19' -fill "$BLUE" -draw 'circle 86,26 86,22' \
  -pointsize 11 -fill '#333333' -annotate +36+57 '飞天二代Key' \
  -channel A -threshold 50% +channel -strip +dither -colors 64 "GIF:$OUT/pic2.gif"
