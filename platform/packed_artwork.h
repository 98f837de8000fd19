// The packing of the artwork drawn for larger display scales: each such
// bitmap file is kept in the program LZ-packed (tools/pack-artwork.py lz),
// since run-length codes alone leave the text of the menu picture large.
//
// The packed form: the unpacked size as a 32-bit little-endian number, then
// tokens. A byte c below 0x80 is followed by c + 1 bytes to copy as they
// are; a byte c from 0x80 on copies (c & 0x7F) + 3 bytes from as far back
// in the output as the 16-bit little-endian distance after it says (1 and
// more; a copy may overlap what it writes).
#pragma once

#include <cstddef>
#include <vector>

namespace platform {

// Unpacks `size` bytes at `data` into `out`. False, with `out` empty, for
// a stream that is cut short, copies from before the start, or does not
// come out at the stated size.
bool UnpackArtwork(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out);

}  // namespace platform
