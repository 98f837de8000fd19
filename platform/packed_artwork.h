// The packing of the artwork drawn for larger display scales: each such
// 16-colour picture is kept in the program range-coded
// (tools/pack-artwork.py pack), a third of the size run-length and LZ77
// codes left it, since a pixel is much like those beside and above it.
//
// The packed form: the width and the height as 16-bit little-endian
// numbers, the number of colours (1 to 16) as a byte, that many colour
// table entries (blue, green, red, 0), then the pixels' palette indices,
// rows from the top, left to right, range-coded. The coder is LZMA's (32-bit
// range, a carry kept back; five bytes to start) with 16-bit probabilities
// of a zero. Each pixel is four bits, high first, each with a probability of
// its own for the pixels to the left, above and above left (16 off the
// picture) and the bits of the pixel already read; a probability moves by
// 1 / (n + 1.5) of the way after its n-th bit (n up to 30), held within
// [64, 65472] of 65536.
#pragma once

#include <cstddef>
#include <vector>

namespace platform {

// Unpacks `size` bytes at `data` into `out` as a packed DIB, as a BITMAP
// resource holds one: a BITMAPINFOHEADER (4 bits a pixel, BI_RGB, bottom
// row first), the colour table, the bits. False, with `out` empty, for a
// header that does not hold together, a pixel outside the colour table, or
// a stream cut short or longer than the picture.
bool UnpackArtwork(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out);

}  // namespace platform
