// The artwork's unpacking; see packed_artwork.h.
#include "platform/packed_artwork.h"

namespace platform {

bool UnpackArtwork(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out) {
  out.clear();
  if (size < 4) return false;
  const std::size_t expected = data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::size_t>(data[3]) << 24;
  // A token never makes more than 130 bytes of at most 3: a larger claim
  // is no packed artwork, and is not allocated.
  if (expected > (size - 4) * 130) return false;
  out.reserve(expected);
  std::size_t at = 4;
  while (at < size) {
    const unsigned c = data[at++];
    if (c < 0x80) {
      const std::size_t count = c + 1;
      if (count > size - at || out.size() + count > expected) break;
      out.insert(out.end(), data + at, data + at + count);
      at += count;
    } else {
      if (size - at < 2) break;
      const std::size_t count = (c & 0x7F) + 3, distance = data[at] | data[at + 1] << 8;
      at += 2;
      if (distance == 0 || distance > out.size() || out.size() + count > expected) break;
      for (std::size_t i = 0; i < count; ++i) out.push_back(out[out.size() - distance]);
    }
  }
  if (at != size || out.size() != expected) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace platform
