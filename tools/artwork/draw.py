#!/usr/bin/python3
"""Draws the start menu's artwork into startmenu/res/:

  background.bmp  563 x 563, uncompressed bottom-up DIB, 8 bits per pixel, 255 colours
  autorun.ico     16 x 16 and 32 x 32, 256 colours each, with transparency masks
  hand.cur        32 x 32, 24 bits per pixel with a mask, hot spot at column 5, row 0

Needs Debian's python3-pil and fonts-dejavu-core. The hot-spot rectangles of the
window (in pixels) decide where the menu texts, arrows and bars go; keep them in
step with startmenu/menu.cpp.

    /usr/bin/python3 tools/artwork/draw.py [output folder]
"""
import math
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONTS = "/usr/share/fonts/truetype/dejavu/"
SIZE = 563

# Hot spots: left, top, width, height in pixels.
INSTALL_SK = (40, 128, 246, 20)
INSTALL_EN = (40, 200, 198, 20)
DOCUMENTS = (288, 360, 244, 20)
WEB_ROW = (452, 15)     # top, height of lblWeb
EMAIL_ROW = (491, 15)   # top, height of lblEmail
STRIP_TOP = 527

NAVY = (16, 42, 78)
TEAL = (0, 128, 140)
ACCENT = (232, 120, 24)
INK = (22, 40, 66)
GREY = (98, 112, 128)


def font(name, size):
    return ImageFont.truetype(FONTS + name, size)


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def gradient(size, top_left, bottom_right):
    w, h = size
    img = Image.new("RGB", size)
    px = img.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = lerp(top_left, bottom_right, (x / w * 0.35 + y / h * 0.65))
    return img


def logo_mark(size, scale=4):
    """The product mark: a rounded square in navy to teal with a white disc
    and a 'V' cut through it. Returned as RGBA, drawn large and scaled down."""
    big = size * scale
    img = gradient((big, big), (24, 70, 130), TEAL).convert("RGBA")
    mask = Image.new("L", (big, big), 0)
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, big - 1, big - 1), radius=big // 5, fill=255)
    img.putalpha(mask)
    d = ImageDraw.Draw(img)
    c = big / 2
    r = big * 0.34
    d.ellipse((c - r, c - r, c + r, c + r), fill=(255, 255, 255, 255))
    d.ellipse((c - r * 0.28, c - r * 0.28, c + r * 0.28, c + r * 0.28), fill=(24, 86, 140, 255))
    v = [(c - r * 1.05, c - r * 0.95), (c - r * 0.55, c - r * 0.95), (c, c + r * 0.35),
         (c + r * 0.55, c - r * 0.95), (c + r * 1.05, c - r * 0.95), (c, c + r * 1.15)]
    d.polygon(v, fill=ACCENT + (255,))
    return img.resize((size, size), Image.LANCZOS)


def disc(diameter, scale=3):
    """A CD seen from above: silver with a rainbow sheen and a clear hub."""
    big = diameter * scale
    c = big / 2
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    px = img.load()
    outer, hub, hole = c - 1, c * 0.30, c * 0.12
    for y in range(big):
        for x in range(big):
            dx, dy = x - c, y - c
            rr = math.hypot(dx, dy)
            if rr > outer or rr < hole:
                continue
            a = math.atan2(dy, dx)
            if rr < hub:
                shade = 232 if rr > hole * 1.6 else 205
                px[x, y] = (shade, shade + 6, shade + 12, 255)
                continue
            base = 206 + 30 * math.cos(2 * a + 0.6)
            hue = (a * 2 / math.pi + rr / outer * 0.6) % 1.0
            rainbow = colour_of_hue(hue)
            glow = max(0.0, math.cos(2 * (a - 0.9))) ** 6 * 0.55
            col = lerp((base, base + 4, base + 10), rainbow, glow)
            px[x, y] = col + (255,)
    d = ImageDraw.Draw(img)
    d.ellipse((1, 1, big - 2, big - 2), outline=(150, 164, 182, 255), width=scale * 2)
    d.ellipse((c - hub, c - hub, c + hub, c + hub), outline=(170, 182, 198, 255), width=scale)
    d.ellipse((c - hole, c - hole, c + hole, c + hole), outline=(150, 164, 182, 255), width=scale)
    return img.resize((diameter, diameter), Image.LANCZOS)


def colour_of_hue(h):
    r = 0.5 + 0.5 * math.cos(2 * math.pi * (h + 0.00))
    g = 0.5 + 0.5 * math.cos(2 * math.pi * (h + 0.33))
    b = 0.5 + 0.5 * math.cos(2 * math.pi * (h + 0.67))
    return (int(150 + 105 * r), int(150 + 105 * g), int(150 + 105 * b))


def fitted_font(text, name, width, start):
    size = start
    while size > 8 and font(name, size).getlength(text) > width:
        size -= 1
    return font(name, size)


def arrow(d, x, y, size, colour, pointing="right"):
    h = size
    if pointing == "right":
        d.polygon([(x, y), (x + h * 0.8, y + h / 2), (x, y + h)], fill=colour)
    else:
        d.polygon([(x + h * 0.8, y), (x, y + h / 2), (x + h * 0.8, y + h)], fill=colour)


def bar(img, left, top, width, colours):
    """A thin bar fading from the first colour to the second."""
    d = ImageDraw.Draw(img)
    for i in range(width):
        col = lerp(colours[0], colours[1], i / max(1, width - 1))
        d.line((left + i, top, left + i, top + 1), fill=col)


def install_item(img, rect, text, subtitle, leading_arrow=True):
    left, top, width, height = rect
    d = ImageDraw.Draw(img)
    if leading_arrow:
        arrow(d, left + 1, top + 3, 11, ACCENT)
        text_left, text_width = left + 15, width - 16
    else:
        text_left, text_width = left, width - 16
    f = fitted_font(text, "DejaVuSans-Bold.ttf", text_width, 15)
    tw = f.getlength(text)
    if not leading_arrow:
        text_left = left + width - 16 - tw
        arrow(d, left + width - 11, top + 3, 11, ACCENT)
    d.text((text_left, top + 1), text, font=f, fill=INK)
    bar(img, left, top + height - 3, width, (TEAL, (200, 222, 228)) if leading_arrow
        else ((200, 222, 228), TEAL))
    if subtitle:
        sf = font("DejaVuSans.ttf", 11)
        sx = text_left if leading_arrow else left + width - 16 - sf.getlength(subtitle)
        d.text((sx, top + height + 4), subtitle, font=sf, fill=GREY)


def house(d, x, y, colour):
    d.polygon([(x, y + 7), (x + 8, y), (x + 16, y + 7)], fill=colour)
    d.rectangle((x + 2, y + 7, x + 14, y + 14), fill=colour)
    d.rectangle((x + 7, y + 9, x + 10, y + 14), fill=(244, 246, 248))
    d.rectangle((x + 12, y + 1, x + 13, y + 4), fill=colour)


def envelope(d, x, y, colour):
    d.rectangle((x, y + 2, x + 18, y + 13), fill=(250, 250, 250), outline=colour, width=2)
    d.line((x + 1, y + 3, x + 9, y + 9, x + 17, y + 3), fill=colour, width=2)


def background():
    img = gradient((SIZE, SIZE), (252, 252, 250), (214, 228, 238))
    d = ImageDraw.Draw(img, "RGBA")

    # Header band with the product logo.
    band = gradient((SIZE, 100), NAVY, (18, 96, 124))
    img.paste(band, (0, 0))
    for i in range(6):
        d.arc((300 + i * 30, -260 + i * 8, 900 + i * 30, 140 + i * 8), 150, 250,
              fill=(255, 255, 255, 22), width=2)
    d.rectangle((0, 100, SIZE, 103), fill=ACCENT + (255,))
    mark = logo_mark(64)
    img.paste(mark, (24, 18), mark)
    d.text((100, 18), "Velmora", font=font("DejaVuSans-Bold.ttf", 40), fill=(255, 255, 255))
    d.text((103, 66), "SDK Lite  \u2022  verzia 1.0", font=font("DejaVuSans.ttf", 14),
           fill=(190, 220, 232))

    # Soft waves behind the lower half.
    waves = Image.new("RGBA", (SIZE, SIZE), (0, 0, 0, 0))
    wd = ImageDraw.Draw(waves)
    for i, alpha in enumerate((26, 20, 14)):
        points = [(x, 430 + i * 22 + 26 * math.sin(x / 95 + i)) for x in range(0, SIZE + 1, 4)]
        wd.polygon(points + [(SIZE, STRIP_TOP), (0, STRIP_TOP)], fill=TEAL + (alpha,))
    img.paste(waves, (0, 0), waves)
    d = ImageDraw.Draw(img, "RGBA")

    # The disc, with a soft shadow.
    shadow = Image.new("RGBA", (SIZE, SIZE), (0, 0, 0, 0))
    ImageDraw.Draw(shadow).ellipse((338, 140, 552, 354), fill=(20, 40, 60, 70))
    shadow = shadow.filter(ImageFilter.GaussianBlur(8))
    img.paste(shadow, (0, 0), shadow)
    cd = disc(210)
    img.paste(cd, (330, 128), cd)

    install_item(img, INSTALL_SK, "In\u0161tal\u00e1cia Velmora Lite Sk", "Slovensk\u00e1 verzia")
    install_item(img, INSTALL_EN, "Install Velmora Lite En", "English version")
    install_item(img, DOCUMENTS, "Dokumenty / Documents", None, leading_arrow=False)

    # A few words on what the CD holds.
    d = ImageDraw.Draw(img, "RGBA")
    hf = font("DejaVuSans-Bold.ttf", 13)
    bf = font("DejaVuSans.ttf", 12)
    d.text((40, 262), "Na tomto CD / On this CD", font=hf, fill=INK)
    lines = ["Kni\u017enice pre Visual FoxPro", "\u0160ifrovanie a kontroln\u00e9 s\u00fa\u010dty",
             "Pr\u00edru\u010dky a pr\u00edklady / Manuals"]
    for i, line in enumerate(lines):
        y = 286 + i * 20
        d.ellipse((42, y + 4, 48, y + 10), fill=TEAL)
        d.text((56, y), line, font=bf, fill=(52, 66, 84))

    # Symbols right of the link labels (which end at x 511).
    house(d, 522, WEB_ROW[0] - 1, (64, 0, 0))
    envelope(d, 521, EMAIL_ROW[0], (64, 0, 0))

    # Light strip along the bottom with the supplier's logo.
    d.rectangle((0, STRIP_TOP, SIZE, SIZE), fill=(247, 246, 240))
    d.line((0, STRIP_TOP, SIZE, STRIP_TOP), fill=(180, 196, 206), width=1)
    d.rounded_rectangle((10, 535, 34, 557), radius=5, fill=NAVY)
    d.polygon([(14, 553), (22, 539), (30, 553)], fill=ACCENT)
    d.line((14, 553, 30, 553), fill=(255, 255, 255), width=1)
    d.text((40, 535), "Danubia", font=font("DejaVuSans-Bold.ttf", 12), fill=NAVY)
    d.text((40, 548), "SOFT", font=font("DejaVuSans.ttf", 8), fill=GREY)
    return img


def write_bmp8(img, path, colours=255):
    """An uncompressed bottom-up 8-bit DIB with exactly `colours` palette entries."""
    q = img.quantize(colors=colours, method=Image.MEDIANCUT, dither=Image.NONE)
    palette = q.getpalette()[: colours * 3]
    used = len(palette) // 3
    w, h = q.size
    stride = (w + 3) & ~3
    rows = b"".join(q.tobytes()[y * w:(y + 1) * w] + b"\0" * (stride - w)
                    for y in reversed(range(h)))
    quads = b"".join(struct.pack("<BBBB", palette[i * 3 + 2], palette[i * 3 + 1],
                                 palette[i * 3], 0) for i in range(used))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(rows), 3780, 3780, used, 0)
    offset = 14 + len(info) + len(quads)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + quads + rows)


def mask_rows(alpha, threshold=128):
    """1-bit AND mask, bottom-up, rows padded to 4 bytes: 1 where transparent."""
    w, h = alpha.size
    stride = ((w + 31) // 32) * 4
    px = alpha.load()
    out = b""
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            if px[x, y] < threshold:
                row[x // 8] |= 0x80 >> (x % 8)
        out += bytes(row)
    return out


def icon_image(size):
    """One icon image: BITMAPINFOHEADER, 256-colour palette, pixels, mask."""
    rgba = logo_mark(size)
    alpha = rgba.getchannel("A")
    flat = Image.new("RGB", rgba.size, (0, 0, 0))
    flat.paste(rgba, (0, 0), rgba)
    q = flat.quantize(colors=256, method=Image.MEDIANCUT, dither=Image.NONE)
    palette = (q.getpalette() + [0] * 768)[:768]
    quads = b"".join(struct.pack("<BBBB", palette[i * 3 + 2], palette[i * 3 + 1],
                                 palette[i * 3], 0) for i in range(256))
    stride = (size + 3) & ~3
    pixels = b"".join(q.tobytes()[y * size:(y + 1) * size] + b"\0" * (stride - size)
                      for y in reversed(range(size)))
    mask = mask_rows(alpha)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(pixels) + len(mask),
                       0, 0, 256, 0)
    return info + quads + pixels + mask


def write_ico(path, sizes=(16, 32)):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def hand(scale=8):
    """A white pointing hand with a dark outline one pixel wide; the outline
    above the index finger's tip is the top pixel of column 5, the hot spot."""
    s = scale
    shape = Image.new("L", (32 * s, 32 * s), 0)
    d = ImageDraw.Draw(shape)
    r = int(1.5 * s)
    d.rounded_rectangle((4 * s, 1 * s, 7 * s - 1, 18 * s), radius=r, fill=255)   # index
    d.rounded_rectangle((7 * s, 8 * s, 11 * s - 1, 19 * s), radius=r, fill=255)  # middle
    d.rounded_rectangle((11 * s, 9 * s, 15 * s - 1, 20 * s), radius=r, fill=255)  # ring
    d.rounded_rectangle((15 * s, 11 * s, 19 * s - 1, 21 * s), radius=r, fill=255)  # little
    d.rounded_rectangle((4 * s, 15 * s, 19 * s - 1, 28 * s), radius=3 * s, fill=255)  # palm
    d.polygon([(1 * s, 14 * s), (3 * s, 13 * s), (7 * s, 19 * s), (7 * s, 26 * s),
               (5 * s, 25 * s)], fill=255)                                       # thumb
    outline = shape.filter(ImageFilter.MaxFilter(2 * s + 1))
    for x, top in ((7, 9), (11, 10), (15, 12)):  # the lines between the fingers
        d.rectangle((x * s, top * s, x * s + s - 1, 15 * s), fill=0)
    inner = shape.resize((32, 32), Image.BOX)
    outer = outline.resize((32, 32), Image.BOX)
    return inner, outer


def write_cur(path, hotspot=(5, 0)):
    inner, outer = hand()
    pi, po = inner.load(), outer.load()
    rgb = bytearray()
    mask_img = Image.new("L", (32, 32), 0)
    pm = mask_img.load()
    for y in reversed(range(32)):
        for x in range(32):
            i, o = pi[x, y], po[x, y]
            if o < 96 and i < 96:
                rgb += b"\0\0\0"
                continue
            pm[x, y] = 255
            v = 255 if i >= 200 else int(i * 0.9)
            rgb += bytes((v, v, v))
    assert pm[hotspot[0], hotspot[1]] == 255, "hot spot must lie on the pointer"
    mask = mask_rows(mask_img)
    info = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 24, 0, len(rgb) + len(mask), 0, 0, 0, 0)
    data = info + bytes(rgb) + mask
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", 32, 32, 0, 0, hotspot[0], hotspot[1], len(data), 22)
    with open(path, "wb") as f:
        f.write(out + data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "startmenu", "res")
    write_bmp8(background(), os.path.join(out, "background.bmp"))
    write_ico(os.path.join(out, "autorun.ico"))
    write_cur(os.path.join(out, "hand.cur"))


if __name__ == "__main__":
    main()
