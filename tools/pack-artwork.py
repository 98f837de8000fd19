#!/usr/bin/python3
"""Writes the setup program's bitmaps and icon from raw pixels.

ImageMagick draws and quantises the pictures (tools/make-artwork.sh); this
script only lays the pixels out as Windows expects them, so that every file
has exactly the depth, palette and masks the resource compiler and the dialog
rely on:

  pack-artwork.py bmp4 W H IN.rgb PALETTE.rgb OUT.bmp
      4 bits per pixel; every pixel must be one of PALETTE's colours
      (at most 16, written in PALETTE's order).
  pack-artwork.py rle4 W H IN.rgb PALETTE.rgb OUT.bmp
      The same, run-length encoded (BI_RLE4).
  pack-artwork.py rle W H IN.rgb OUT.bmp
      Run-length encoded with the image's own colours as palette: 4 bits
      per pixel (BI_RLE4) for up to 16 colours, else 8 (BI_RLE8), at most
      256 (the caller quantises).

  pack-artwork.py lz IN OUT
      IN packed with a small LZ77 code that the program unpacks itself
      (platform/packed_artwork.h says the format): for the pictures drawn
      for larger display scales, which the program loads on its own.

Pictures with large even areas are run-length encoded, which keeps the
program small; the system decodes them when it makes a bitmap of them.
  pack-artwork.py ico OUT.ico SIZE:BPP:IN.rgba ...
      One icon image per argument, in the order given. BPP 4 or 8: a
      paletted DIB built from the image's own colours (the caller quantises);
      32: a BGRA DIB. Pixels with alpha below 128 are transparent: their AND
      mask bit is set and, in paletted images, their colour is black.

Raw files are 8 bits per channel, rows top to bottom, as written by
ImageMagick's rgb: and rgba: formats.
"""

import struct
import sys

BI_RGB = 0
BI_RLE8 = 1
BI_RLE4 = 2
INFO_HEADER_SIZE = 40
FILE_HEADER_SIZE = 14
PELS_PER_METRE = 2835  # 72 dots per inch


def fail(message):
    sys.exit("pack-artwork: " + message)


def read_pixels(path, width, height, channels):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) != width * height * channels:
        fail("%s: %d bytes, expected %d x %d x %d"
             % (path, len(data), width, height, channels))
    return [tuple(data[i:i + channels]) for i in range(0, len(data), channels)]


def stride(width, bpp):
    """Bytes in one DIB row: rows are padded to a multiple of 4 bytes."""
    return (width * bpp + 31) // 32 * 4


def info_header(width, height, bpp, image_size, colours_used, compression=BI_RGB):
    return struct.pack("<IiiHHIIiiII", INFO_HEADER_SIZE, width, height, 1, bpp,
                       compression, image_size, PELS_PER_METRE, PELS_PER_METRE,
                       colours_used, 0)


def palette_bytes(palette, entries):
    out = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return out + b"\0\0\0\0" * (entries - len(palette))


def pack_indices(indices, width, height, bpp):
    """Bottom-up rows of palette indices (bpp 1, 4 or 8), each row padded."""
    rows = []
    per_byte = 8 // bpp
    for y in reversed(range(height)):
        row = bytearray(stride(width, bpp))
        for x in range(width):
            shift = 8 - bpp * (x % per_byte + 1)
            row[x // per_byte] |= indices[y * width + x] << shift
        rows.append(bytes(row))
    return b"".join(rows)


def write_bmp(path, header, palette, bits):
    offset = FILE_HEADER_SIZE + len(header) + len(palette)
    size = offset + len(bits)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", size, 0, 0, offset))
        f.write(header + palette + bits)


def rle_row(row, bpp):
    """One row of palette indices in BI_RLE8 or BI_RLE4 codes, without the
    end-of-line code. Runs of one index are encoded (count, index); in
    RLE4 an encoded pair may also alternate two indices, which covers any
    two pixels. Stretches without runs go in absolute mode, padded to a
    16-bit boundary."""
    def pair(a, b):
        return a if bpp == 8 else a << 4 | b

    def absolute(pixels):
        if bpp == 8:
            data = bytes(pixels)
        else:
            padded = pixels + [0] * (len(pixels) % 2)
            data = bytes(padded[i] << 4 | padded[i + 1] for i in range(0, len(padded), 2))
        return bytes((0, len(pixels))) + data + b"\0" * (len(data) % 2)

    out = bytearray()
    literal = []

    def flush():
        # Absolute mode needs at least three pixels; fewer go as runs.
        while literal:
            if len(literal) >= 3:
                chunk = literal[:255]
                out.extend(absolute(chunk))
                del literal[:len(chunk)]
            elif bpp == 4 and len(literal) == 2:
                out.extend((2, pair(literal[0], literal[1])))
                literal.clear()
            else:
                out.extend((1, pair(literal[0], literal[0])))
                del literal[0]

    i = 0
    while i < len(row):
        run = 1
        while i + run < len(row) and run < 255 and row[i + run] == row[i]:
            run += 1
        if run >= 3:
            flush()
            out.extend((run, pair(row[i], row[i])))
        else:
            literal.extend(row[i:i + run])
        i += run
    flush()
    return bytes(out)


def rle_bits(indices, width, height, bpp):
    """Bottom-up rows, each closed by end-of-line, then end-of-bitmap."""
    out = bytearray()
    for y in reversed(range(height)):
        out += rle_row(indices[y * width:(y + 1) * width], bpp)
        out += b"\0\0"
    return bytes(out + b"\0\1")


LZ_MIN, LZ_MAX, LZ_WINDOW = 3, 130, 65535


def lz_pack(data):
    """Greedy LZ77 over a chain of earlier places with the same three
    bytes: a match of at least four bytes is copied, anything else goes as
    literals, at most 128 a token."""
    out = bytearray(struct.pack("<I", len(data)))
    literal = bytearray()
    chains = {}

    def flush():
        for start in range(0, len(literal), 128):
            chunk = literal[start:start + 128]
            out.append(len(chunk) - 1)
            out.extend(chunk)
        literal.clear()

    def remember(at):
        if at + LZ_MIN <= len(data):
            chains.setdefault(data[at:at + LZ_MIN], []).append(at)

    i = 0
    while i < len(data):
        best, distance = 0, 0
        for earlier in reversed(chains.get(data[i:i + LZ_MIN], [])[-64:]):
            if i - earlier > LZ_WINDOW:
                break
            length = 0
            while length < LZ_MAX and i + length < len(data) and data[earlier + length] == data[i + length]:
                length += 1
            if length > best:
                best, distance = length, i - earlier
                if best == LZ_MAX:
                    break
        if best > LZ_MIN:
            flush()
            out.append(0x80 | (best - LZ_MIN))
            out.extend(struct.pack("<H", distance))
            for at in range(i, i + best):
                remember(at)
            i += best
        else:
            literal.append(data[i])
            remember(i)
            i += 1
    flush()
    return bytes(out)


def lz(in_path, out_path):
    with open(in_path, "rb") as f:
        data = f.read()
    with open(out_path, "wb") as f:
        f.write(lz_pack(data))


def bmp4(width, height, rgb_path, palette_path, out_path, rle=False):
    pixels = read_pixels(rgb_path, width, height, 3)
    with open(palette_path, "rb") as f:
        raw = f.read()
    palette = [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]
    if not 2 <= len(palette) <= 16 or len(set(palette)) != len(palette):
        fail("%s: need 2 to 16 distinct colours, got %d" % (palette_path, len(palette)))
    index = {colour: i for i, colour in enumerate(palette)}
    stray = set(pixels) - set(index)
    if stray:
        fail("%s: %d colours not in the palette, e.g. %s"
             % (rgb_path, len(stray), sorted(stray)[0]))
    indices = [index[p] for p in pixels]
    if rle:
        bits = rle_bits(indices, width, height, 4)
        header = info_header(width, height, 4, len(bits), len(palette), BI_RLE4)
    else:
        bits = pack_indices(indices, width, height, 4)
        header = info_header(width, height, 4, len(bits), len(palette))
    write_bmp(out_path, header, palette_bytes(palette, len(palette)), bits)


def rle(width, height, rgb_path, out_path):
    pixels = read_pixels(rgb_path, width, height, 3)
    palette = sorted(set(pixels))
    if len(palette) > 256:
        fail("%s: %d colours do not fit 8 bits per pixel" % (rgb_path, len(palette)))
    bpp = 4 if len(palette) <= 16 else 8
    index = {colour: i for i, colour in enumerate(palette)}
    bits = rle_bits([index[p] for p in pixels], width, height, bpp)
    header = info_header(width, height, bpp, len(bits), len(palette), BI_RLE4 if bpp == 4 else BI_RLE8)
    write_bmp(out_path, header, palette_bytes(palette, len(palette)), bits)


def icon_image(size, bpp, rgba_path):
    """One icon image: BITMAPINFOHEADER, palette, XOR bits, AND mask."""
    pixels = read_pixels(rgba_path, size, size, 4)
    transparent = [p[3] < 128 for p in pixels]
    mask = pack_indices([1 if t else 0 for t in transparent], size, size, 1)
    if bpp == 32:
        rows = []
        for y in reversed(range(size)):
            row = pixels[y * size:(y + 1) * size]
            rows.append(b"".join(bytes((b, g, r, a)) for r, g, b, a in row))
        xor = b"".join(rows)
        palette = b""
    elif bpp in (4, 8):
        black = (0, 0, 0)
        colours = sorted({p[:3] for p, t in zip(pixels, transparent) if not t})
        if any(transparent) and black not in colours:
            colours.insert(0, black)
        if len(colours) > 1 << bpp:
            fail("%s: %d colours do not fit %d bits per pixel"
                 % (rgba_path, len(colours), bpp))
        index = {colour: i for i, colour in enumerate(colours)}
        indices = [index[black] if t else index[p[:3]]
                   for p, t in zip(pixels, transparent)]
        xor = pack_indices(indices, size, size, bpp)
        palette = palette_bytes(colours, 1 << bpp)
    else:
        fail("icon images are 4, 8 or 32 bits per pixel, not %d" % bpp)
    # The height covers both masks; biClrUsed 0 means the full palette.
    header = info_header(size, 2 * size, bpp, len(xor) + len(mask), 0)
    return header + palette + xor + mask


def ico(out_path, specs):
    images = []
    for spec in specs:
        size, bpp, path = spec.split(":", 2)
        size, bpp = int(size), int(bpp)
        if not 1 <= size <= 256:
            fail("icon size %d out of range" % size)
        images.append((size, bpp, icon_image(size, bpp, path)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bpp, data in images:
        colour_count = 1 << bpp if bpp < 8 else 0
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, colour_count,
                                 0, 1, bpp, len(data), offset)
        offset += len(data)
    with open(out_path, "wb") as f:
        f.write(directory + b"".join(data for _, _, data in images))


def main(argv):
    if len(argv) == 7 and argv[1] in ("bmp4", "rle4"):
        bmp4(int(argv[2]), int(argv[3]), argv[4], argv[5], argv[6], argv[1] == "rle4")
    elif len(argv) == 6 and argv[1] == "rle":
        rle(int(argv[2]), int(argv[3]), argv[4], argv[5])
    elif len(argv) == 4 and argv[1] == "lz":
        lz(argv[2], argv[3])
    elif len(argv) >= 4 and argv[1] == "ico":
        ico(argv[2], argv[3:])
    else:
        fail("usage: see the top of " + argv[0])


if __name__ == "__main__":
    main(sys.argv)
