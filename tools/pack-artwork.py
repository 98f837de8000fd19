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

  pack-artwork.py pack IN.bmp OUT.pak
      The pixels of IN (a 16-colour bitmap this script wrote) range-coded
      as platform/packed_artwork.h says, which the program unpacks itself:
      for the pictures drawn for larger display scales, which the program
      loads on its own.

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


def read_rle4(path):
    """Width, height, palette (BGR0 quads) and the palette indices, top row
    first, of a BI_RLE4 or BI_RGB 4-bit bitmap file."""
    with open(path, "rb") as f:
        b = f.read()
    if b[:2] != b"BM":
        fail("%s: not a bitmap file" % path)
    offset = struct.unpack_from("<I", b, 10)[0]
    size, width, height, _, bpp, compression, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", b, 14)
    if bpp != 4 or compression not in (BI_RGB, BI_RLE4) or width <= 0 or height <= 0:
        fail("%s: not a 16-colour bottom-up bitmap" % path)
    used = used or 16
    palette = b[14 + size:14 + size + 4 * used]
    rows = [[0] * width for _ in range(height)]
    if compression == BI_RGB:
        row_bytes = stride(width, 4)
        for y in range(height):
            for x in range(width):
                byte = b[offset + y * row_bytes + x // 2]
                rows[y][x] = byte >> 4 if x % 2 == 0 else byte & 15
    else:
        at, x, y = offset, 0, 0
        while at + 2 <= len(b):
            count, value = b[at], b[at + 1]
            at += 2
            if count:
                for i in range(count):
                    rows[y][x] = value >> 4 if i % 2 == 0 else value & 15
                    x += 1
            elif value == 0:
                x, y = 0, y + 1
            elif value == 1:
                break
            elif value == 2:
                fail("%s: delta codes are not written here" % path)
            else:
                for i in range(value):
                    byte = b[at + i // 2]
                    rows[y][x] = byte >> 4 if i % 2 == 0 else byte & 15
                    x += 1
                at += (value + 1) // 2 + (value + 1) // 2 % 2
    return width, height, palette, [i for row in reversed(rows) for i in row]


# The model of platform/packed_artwork.cpp, which must match it bit for bit.
PROB_ONE = 1 << 16
PROB_MIN, PROB_MAX = 64, PROB_ONE - 64
COUNT_LIMIT = 30
OUTSIDE = 16
RATE = [(2 << 16) // (2 * n + 3) for n in range(COUNT_LIMIT + 1)]


class RangeEncoder:
    """LZMA's carry-propagating range coder, with 16-bit probabilities."""

    def __init__(self):
        self.low, self.range, self.cache, self.pending = 0, 0xFFFFFFFF, 0, 1
        self.out = bytearray()

    def shift_low(self):
        if self.low < 0xFF000000 or self.low >= 1 << 32:
            carry = self.low >> 32
            byte = self.cache
            while self.pending:
                self.out.append((byte + carry) & 0xFF)
                byte = 0xFF
                self.pending -= 1
            self.cache = (self.low >> 24) & 0xFF
        self.pending += 1
        self.low = (self.low & 0x00FFFFFF) << 8

    def encode(self, bit, zero):
        bound = (self.range >> 16) * zero
        if bit:
            self.low += bound
            self.range -= bound
        else:
            self.range = bound
        while self.range < 1 << 24:
            self.range <<= 8
            self.shift_low()

    def finish(self):
        for _ in range(5):
            self.shift_low()
        return bytes(self.out)


def range_pack(width, height, indices):
    """Each pixel's four bits, high first, each coded with a probability
    kept for its context: the pixels left, above and above left (16 off
    the picture) and the bits of the pixel already coded. A probability
    learns fast at first, then settles (its rate falls with its count)."""
    zero = [PROB_ONE // 2] * (17 * 17 * 17 * 16)
    count = [0] * len(zero)
    coder = RangeEncoder()
    for y in range(height):
        for x in range(width):
            left = indices[y * width + x - 1] if x > 0 else OUTSIDE
            up = indices[(y - 1) * width + x] if y > 0 else OUTSIDE
            up_left = indices[(y - 1) * width + x - 1] if x > 0 and y > 0 else OUTSIDE
            base = ((left * 17 + up) * 17 + up_left) * 16
            value, node = indices[y * width + x], 1
            for shift in (3, 2, 1, 0):
                bit = value >> shift & 1
                model = base + node
                p, n = zero[model], count[model]
                coder.encode(bit, p)
                if bit:
                    p -= p * RATE[n] >> 16
                else:
                    p += (PROB_ONE - p) * RATE[n] >> 16
                zero[model] = min(max(p, PROB_MIN), PROB_MAX)
                count[model] = min(n + 1, COUNT_LIMIT)
                node = node * 2 + bit
    return coder.finish()


def pack(in_path, out_path):
    width, height, palette, indices = read_rle4(in_path)
    colours = len(palette) // 4
    if width > 0xFFFF or height > 0xFFFF or not 1 <= colours <= 16 or max(indices) >= colours:
        fail("%s: cannot be packed" % in_path)
    header = struct.pack("<HHB", width, height, colours) + palette
    with open(out_path, "wb") as f:
        f.write(header + range_pack(width, height, indices))


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
    elif len(argv) == 4 and argv[1] == "pack":
        pack(argv[2], argv[3])
    elif len(argv) >= 4 and argv[1] == "ico":
        ico(argv[2], argv[3:])
    else:
        fail("usage: see the top of " + argv[0])


if __name__ == "__main__":
    main(sys.argv)
