// The generated artwork (tools/make-artwork.sh): the logo, the menu picture
// and the icon are read back byte by byte and checked against the layout the
// resource compiler and the dialog expect.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#ifndef SETUP_ARTWORK_DIR
#error "SETUP_ARTWORK_DIR must name the folder tools/make-artwork.sh wrote"
#endif

namespace {

#ifdef _WIN32
const char kSeparator[] = "\\";
#else
const char kSeparator[] = "/";
#endif

using Bytes = std::vector<std::uint8_t>;

Bytes ReadArtwork(const char* name) {
  const std::string path = std::string(SETUP_ARTWORK_DIR) + kSeparator + name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.is_open()) << "cannot open " << path;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t U16(const Bytes& b, std::size_t at) {
  return at + 2 <= b.size() ? b[at] | b[at + 1] << 8 : 0;
}
std::uint32_t U32(const Bytes& b, std::size_t at) {
  return at + 4 <= b.size() ? U16(b, at) | U16(b, at + 2) << 16 : 0;
}

// Bytes in one DIB row: rows are padded to four bytes.
std::size_t RowBytes(std::size_t width, std::size_t bpp) { return (width * bpp + 31) / 32 * 4; }

struct InfoHeader {
  std::uint32_t size, planes, bpp, compression, coloursUsed;
  std::int32_t width, height;
  std::size_t at;  // where the header starts in the file

  // Entries in the colour table that follows the header.
  std::size_t PaletteEntries() const {
    if (coloursUsed != 0) return coloursUsed;
    return bpp <= 8 ? std::size_t{1} << bpp : 0;
  }
  std::size_t PaletteAt() const { return at + size; }
  std::size_t BitsAt() const { return PaletteAt() + 4 * PaletteEntries(); }
};

InfoHeader ReadInfoHeader(const Bytes& b, std::size_t at) {
  InfoHeader h;
  h.at = at;
  h.size = U32(b, at);
  h.width = static_cast<std::int32_t>(U32(b, at + 4));
  h.height = static_cast<std::int32_t>(U32(b, at + 8));
  h.planes = U16(b, at + 12);
  h.bpp = U16(b, at + 14);
  h.compression = U32(b, at + 16);
  h.coloursUsed = U32(b, at + 32);
  return h;
}

// The palette index of pixel (x, row) of a paletted DIB; rows count from the
// first one stored, which is the bottom one.
unsigned PixelIndex(const Bytes& b, std::size_t bitsAt, std::size_t rowBytes, unsigned bpp,
                    std::size_t x, std::size_t row) {
  const std::size_t bit = x * bpp;
  const std::uint8_t byte = b.at(bitsAt + row * rowBytes + bit / 8);
  return (byte >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
}

// Checks the BITMAPFILEHEADER and returns the BITMAPINFOHEADER after it.
InfoHeader ReadBitmap(const Bytes& b) {
  EXPECT_GE(b.size(), 54u);
  EXPECT_EQ(U16(b, 0), 0x4D42u) << "no BM signature";
  EXPECT_EQ(U32(b, 2), b.size()) << "bfSize is not the file size";
  InfoHeader h = ReadInfoHeader(b, 14);
  EXPECT_EQ(h.size, 40u) << "not a BITMAPINFOHEADER";
  EXPECT_EQ(U32(b, 10), h.BitsAt()) << "bfOffBits does not follow the palette";
  EXPECT_EQ(h.planes, 1u);
  EXPECT_EQ(h.compression, 0u) << "not BI_RGB";
  return h;
}

TEST(Artwork, LogoIsTrueColourOnTheDialogBackground) {
  const Bytes b = ReadArtwork("logo.bmp");
  ASSERT_FALSE(b.empty());
  const InfoHeader h = ReadBitmap(b);
  ASSERT_EQ(h.width, 64);
  ASSERT_EQ(h.height, 64) << "64 rows, stored bottom-up";
  ASSERT_EQ(h.bpp, 24u);
  EXPECT_EQ(h.PaletteEntries(), 0u);
  const std::size_t row = RowBytes(64, 24);
  ASSERT_EQ(b.size(), h.BitsAt() + row * 64);

  std::set<std::uint32_t> colours;
  for (std::size_t y = 0; y < 64; ++y)
    for (std::size_t x = 0; x < 64; ++x) {
      const std::size_t p = h.BitsAt() + y * row + 3 * x;
      colours.insert(b[p] | b[p + 1] << 8 | b[p + 2] << 16);
    }
  EXPECT_GE(colours.size(), 16u) << "the logo is nearly blank";
  // The top left corner is the last row stored, blue-green-red.
  const std::size_t corner = h.BitsAt() + 63 * row;
  EXPECT_EQ(b[corner + 2], 170);
  EXPECT_EQ(b[corner + 1], 210);
  EXPECT_EQ(b[corner], 150);
}

TEST(Artwork, MenuPictureIsSixteenColours) {
  const Bytes b = ReadArtwork("menu.bmp");
  ASSERT_FALSE(b.empty());
  const InfoHeader h = ReadBitmap(b);
  ASSERT_EQ(h.width, 307);
  ASSERT_EQ(h.height, 175);
  ASSERT_EQ(h.bpp, 4u);
  const std::size_t entries = h.PaletteEntries();
  ASSERT_GE(entries, 2u);
  ASSERT_LE(entries, 16u);
  const std::size_t row = RowBytes(307, 4);
  ASSERT_EQ(b.size(), h.BitsAt() + row * 175);

  std::set<unsigned> used;
  for (std::size_t y = 0; y < 175; ++y)
    for (std::size_t x = 0; x < 307; ++x) {
      const unsigned index = PixelIndex(b, h.BitsAt(), row, 4, x, y);
      ASSERT_LT(index, entries) << "pixel " << x << "," << y << " is outside the palette";
      used.insert(index);
    }
  EXPECT_GE(used.size(), 4u) << "the picture is nearly blank";
}

struct IconEntry {
  unsigned size, bpp;
  std::size_t bytes, offset;
};

std::vector<IconEntry> ReadIconDirectory(const Bytes& b) {
  std::vector<IconEntry> entries;
  EXPECT_EQ(U16(b, 0), 0u) << "reserved";
  EXPECT_EQ(U16(b, 2), 1u) << "not an icon";
  const std::size_t count = U16(b, 4);
  EXPECT_GE(b.size(), 6 + 16 * count);
  for (std::size_t i = 0; i < count && 6 + 16 * (i + 1) <= b.size(); ++i) {
    const std::size_t at = 6 + 16 * i;
    EXPECT_EQ(b[at], b[at + 1]) << "image " << i << " is not square";
    EXPECT_EQ(b[at + 3], 0) << "image " << i << " reserved byte";
    EXPECT_EQ(U16(b, at + 4), 1u) << "image " << i << " planes";
    entries.push_back({b[at] == 0 ? 256u : b[at], U16(b, at + 6), U32(b, at + 8), U32(b, at + 12)});
  }
  return entries;
}

TEST(Artwork, IconHoldsEachSizeAtEachDepth) {
  const Bytes b = ReadArtwork("setup.ico");
  ASSERT_FALSE(b.empty());
  const std::vector<IconEntry> entries = ReadIconDirectory(b);
  ASSERT_EQ(entries.size(), 9u);
  std::set<std::pair<unsigned, unsigned>> found;
  for (const IconEntry& e : entries) found.insert({e.size, e.bpp});
  std::set<std::pair<unsigned, unsigned>> wanted;
  for (unsigned size : {48u, 32u, 16u})
    for (unsigned bpp : {4u, 8u, 32u}) wanted.insert({size, bpp});
  EXPECT_EQ(found, wanted);
}

TEST(Artwork, IconImagesAreWholeDibsWithMasks) {
  const Bytes b = ReadArtwork("setup.ico");
  ASSERT_FALSE(b.empty());
  const std::vector<IconEntry> entries = ReadIconDirectory(b);
  ASSERT_FALSE(entries.empty());
  std::size_t end = 6 + 16 * entries.size();  // images follow one another
  for (const IconEntry& e : entries) {
    SCOPED_TRACE(std::to_string(e.size) + " px, " + std::to_string(e.bpp) + " bpp");
    ASSERT_GE(e.offset, end) << "overlaps the directory or the previous image";
    ASSERT_LE(e.offset + e.bytes, b.size());
    end = e.offset + e.bytes;

    const InfoHeader h = ReadInfoHeader(b, e.offset);
    ASSERT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, static_cast<std::int32_t>(e.size));
    EXPECT_EQ(h.height, static_cast<std::int32_t>(2 * e.size)) << "XOR and AND masks";
    EXPECT_EQ(h.planes, 1u);
    ASSERT_EQ(h.bpp, e.bpp);
    EXPECT_EQ(h.compression, 0u);
    const std::size_t xorRow = RowBytes(e.size, e.bpp), andRow = RowBytes(e.size, 1);
    ASSERT_LE(h.PaletteEntries(), e.bpp <= 8 ? std::size_t{1} << e.bpp : 0);
    ASSERT_EQ(e.bytes, h.size + 4 * h.PaletteEntries() + (xorRow + andRow) * e.size);

    // The AND mask leaves the corners of the square clear and covers the
    // motif. Where it is set, a paletted image must be black (Windows XORs
    // it onto the screen) and a 32-bit image mostly transparent; a fully
    // transparent pixel must be masked.
    const std::size_t andAt = h.BitsAt() + xorRow * e.size;
    std::size_t clear = 0, opaque = 0, maskedVisible = 0, unmasked = 0;
    std::set<std::uint32_t> colours;
    for (std::size_t y = 0; y < e.size; ++y)
      for (std::size_t x = 0; x < e.size; ++x) {
        const bool masked = PixelIndex(b, andAt, andRow, 1, x, y) != 0;
        std::uint32_t colour;
        if (e.bpp == 32) {
          const std::size_t p = h.BitsAt() + y * xorRow + 4 * x;
          colour = U32(b, p) & 0xFFFFFF;
          maskedVisible += masked && b[p + 3] >= 128;
          unmasked += !masked && b[p + 3] == 0;
        } else {
          const unsigned index = PixelIndex(b, h.BitsAt(), xorRow, e.bpp, x, y);
          ASSERT_LT(index, h.PaletteEntries()) << x << "," << y;
          colour = U32(b, h.PaletteAt() + 4 * index) & 0xFFFFFF;
          maskedVisible += masked && colour != 0;
        }
        (masked ? clear : opaque) += 1;
        if (!masked) colours.insert(colour);
      }
    EXPECT_EQ(maskedVisible, 0u) << "masked pixels that would show";
    EXPECT_EQ(unmasked, 0u) << "transparent pixels outside the mask";
    EXPECT_GT(clear, 0u) << "no transparent corners";
    EXPECT_GT(opaque, e.size * e.size / 3) << "the motif is missing";
    EXPECT_GE(colours.size(), 4u) << "the motif has almost no colours";
  }
}

}  // namespace
