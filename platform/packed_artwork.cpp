// The artwork's unpacking; see packed_artwork.h.
#include "platform/packed_artwork.h"

#include <cstdint>

namespace platform {

namespace {

constexpr unsigned kProbOne = 1u << 16, kProbMin = 64, kProbMax = kProbOne - 64;
constexpr unsigned kCountLimit = 30, kOutside = 16;
constexpr std::size_t kInfoHeaderSize = 40;

struct Model {
  std::uint16_t zero = kProbOne / 2;  // the probability of a 0 bit
  std::uint8_t count = 0;
};

class RangeDecoder {
 public:
  RangeDecoder(const unsigned char* at, const unsigned char* end) : at_(at), end_(end) {
    for (int i = 0; i < 5; ++i) code_ = code_ << 8 | Next();
  }

  unsigned Bit(Model& m) {
    const std::uint32_t bound = (range_ >> 16) * m.zero;
    // 1 / (n + 1.5) of the way to the bit's side, in 16-bit fixed point.
    const unsigned rate = (2u << 16) / (2u * m.count + 3u);
    unsigned bit;
    unsigned p = m.zero;
    if (code_ < bound) {
      range_ = bound;
      p += (kProbOne - p) * rate >> 16;
      bit = 0;
    } else {
      code_ -= bound;
      range_ -= bound;
      p -= p * rate >> 16;
      bit = 1;
    }
    m.zero = static_cast<std::uint16_t>(p < kProbMin ? kProbMin : p > kProbMax ? kProbMax : p);
    if (m.count < kCountLimit) ++m.count;
    while (range_ < (1u << 24)) {
      range_ <<= 8;
      code_ = code_ << 8 | Next();
    }
    return bit;
  }

  // Whether the stream held exactly the bytes read.
  bool Whole() const { return !overrun_ && at_ == end_; }

 private:
  unsigned Next() {
    if (at_ == end_) {
      overrun_ = true;
      return 0;
    }
    return *at_++;
  }

  const unsigned char* at_;
  const unsigned char* end_;
  std::uint32_t range_ = 0xFFFFFFFFu, code_ = 0;
  bool overrun_ = false;
};

void PutU32(unsigned char* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

bool UnpackArtwork(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out) {
  out.clear();
  if (size < 5) return false;
  const unsigned width = data[0] | data[1] << 8, height = data[2] | data[3] << 8, colours = data[4];
  if (width == 0 || height == 0 || colours == 0 || colours > 16 || size < 5 + 4 * colours + 5) return false;
  const unsigned char* palette = data + 5;

  const std::size_t rowBytes = (width * 4 + 31) / 32 * 4, bitsAt = kInfoHeaderSize + 4 * colours;
  out.assign(bitsAt + rowBytes * height, 0);
  unsigned char* header = out.data();
  PutU32(header, kInfoHeaderSize);
  PutU32(header + 4, width);
  PutU32(header + 8, height);
  header[12] = 1;  // planes
  header[14] = 4;  // bits a pixel; BI_RGB is 0
  PutU32(header + 20, static_cast<std::uint32_t>(rowBytes * height));
  PutU32(header + 24, 2835);  // 72 dots per inch, as the bitmap files say
  PutU32(header + 28, 2835);
  PutU32(header + 32, colours);
  for (unsigned i = 0; i < 4 * colours; ++i) out[kInfoHeaderSize + i] = palette[i];

  std::vector<Model> models(17 * 17 * 17 * 16);
  std::vector<unsigned char> above(width, kOutside), row(width);
  RangeDecoder decoder(palette + 4 * colours, data + size);
  for (unsigned y = 0; y < height; ++y) {
    unsigned left = kOutside, upLeft = kOutside;
    for (unsigned x = 0; x < width; ++x) {
      const unsigned up = above[x];
      Model* context = &models[((left * 17 + up) * 17 + upLeft) * 16];
      unsigned node = 1;
      for (int i = 0; i < 4; ++i) node = node * 2 + decoder.Bit(context[node]);
      const unsigned index = node - 16;
      if (index >= colours) {
        out.clear();
        return false;
      }
      row[x] = static_cast<unsigned char>(index);
      upLeft = up;
      left = index;
    }
    // The DIB's rows run from the bottom.
    unsigned char* bits = out.data() + bitsAt + rowBytes * (height - 1 - y);
    for (unsigned x = 0; x < width; ++x) bits[x / 2] |= static_cast<unsigned char>(row[x] << (x % 2 ? 0 : 4));
    above.swap(row);
  }
  if (!decoder.Whole()) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace platform
