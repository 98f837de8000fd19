// The generated artwork (tools/make-artwork.sh): the logo, the menu picture
// at each display scale and the icon are read back byte by byte (run-length
// codes decoded) and checked against the layout the resource compiler and
// the dialog expect; and which scale the dialog takes for a DPI.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/packed_artwork.h"
#include "platform/window.h"
#include "res/setup_resources.h"

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
  std::uint32_t size, planes, bpp, compression, imageSize, coloursUsed;
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
  h.imageSize = U32(b, at + 20);
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

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2;

// Checks the BITMAPFILEHEADER and returns the BITMAPINFOHEADER after it.
InfoHeader ReadBitmap(const Bytes& b, std::uint32_t compression = kBiRgb) {
  EXPECT_GE(b.size(), 54u);
  EXPECT_EQ(U16(b, 0), 0x4D42u) << "no BM signature";
  EXPECT_EQ(U32(b, 2), b.size()) << "bfSize is not the file size";
  InfoHeader h = ReadInfoHeader(b, 14);
  EXPECT_EQ(h.size, 40u) << "not a BITMAPINFOHEADER";
  EXPECT_EQ(U32(b, 10), h.BitsAt()) << "bfOffBits does not follow the palette";
  EXPECT_EQ(h.planes, 1u);
  EXPECT_EQ(h.compression, compression);
  return h;
}

constexpr unsigned kUnset = ~0u;

// The palette indices of an RLE8 or RLE4 DIB, the stored (bottom) row
// first; a pixel no code reached stays kUnset. Codes that run past a row
// or the bitmap, or a missing end-of-bitmap, fail the test.
std::vector<unsigned> DecodeRle(const Bytes& b, const InfoHeader& h) {
  const std::size_t width = static_cast<std::size_t>(h.width), rows = static_cast<std::size_t>(h.height);
  std::vector<unsigned> pixels(width * rows, kUnset);
  std::size_t at = h.BitsAt(), x = 0, y = 0;
  const std::size_t end = at + h.imageSize;
  EXPECT_EQ(end, b.size()) << "biSizeImage is not the codes' length";
  auto put = [&](unsigned index) {
    if (x >= width || y >= rows) {
      ADD_FAILURE() << "a code runs past row " << y << " at " << x;
    } else {
      pixels[y * width + x] = index;
    }
    ++x;
  };
  // Pixel i of a byte: RLE8 the byte, RLE4 its high nibble, then its low.
  auto nibble = [&](std::uint8_t byte, unsigned i) { return h.bpp == 8 ? byte : i % 2 ? byte & 15u : byte >> 4u; };
  while (at + 2 <= end) {
    const unsigned count = b[at], value = b[at + 1];
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i) put(nibble(static_cast<std::uint8_t>(value), i));
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      EXPECT_EQ(at, end) << "codes after the end of the bitmap";
      return pixels;
    } else if (value == 2) {  // delta
      x += b.at(at);
      y += b.at(at + 1);
      at += 2;
    } else {  // absolute: `value` pixels, padded to a word
      const std::size_t bytes = h.bpp == 8 ? value : (value + 1) / 2;
      for (unsigned i = 0; i < value; ++i) put(nibble(b.at(at + (h.bpp == 8 ? i : i / 2)), i));
      at += bytes + bytes % 2;
    }
  }
  ADD_FAILURE() << "no end-of-bitmap code";
  return pixels;
}

// What the program unpacks of packed artwork `name` (.pak): a packed DIB.
Bytes Unpacked(const std::string& name) {
  const Bytes packed = ReadArtwork(name.c_str());
  Bytes out;
  EXPECT_TRUE(platform::UnpackArtwork(packed.data(), packed.size(), out)) << name << " does not unpack";
  return out;
}

// The packed picture `pak` shows what the bitmap file `b` (header `h`,
// run-length codes decoded to `pixels`) shows: its size, its colours and
// each pixel's palette index.
void ExpectSamePicture(const std::string& pak, const Bytes& b, const InfoHeader& h,
                       const std::vector<unsigned>& pixels) {
  const Bytes dib = Unpacked(pak);
  ASSERT_GE(dib.size(), 40u);
  const InfoHeader u = ReadInfoHeader(dib, 0);
  ASSERT_EQ(u.size, 40u);
  ASSERT_EQ(u.width, h.width);
  ASSERT_EQ(u.height, h.height);
  EXPECT_EQ(u.planes, 1u);
  ASSERT_EQ(u.bpp, 4u);
  EXPECT_EQ(u.compression, kBiRgb);
  const std::size_t rowBytes = RowBytes(static_cast<std::size_t>(u.width), 4);
  ASSERT_EQ(u.imageSize, rowBytes * static_cast<std::size_t>(u.height));
  ASSERT_EQ(dib.size(), u.BitsAt() + u.imageSize);
  ASSERT_EQ(u.PaletteEntries(), h.PaletteEntries());
  EXPECT_TRUE(std::equal(b.begin() + static_cast<std::ptrdiff_t>(h.PaletteAt()),
                         b.begin() + static_cast<std::ptrdiff_t>(h.BitsAt()),
                         dib.begin() + static_cast<std::ptrdiff_t>(u.PaletteAt())))
      << "other colours";
  std::size_t differing = 0;
  for (std::size_t y = 0; y < static_cast<std::size_t>(h.height); ++y)
    for (std::size_t x = 0; x < static_cast<std::size_t>(h.width); ++x)
      differing += PixelIndex(dib, u.BitsAt(), rowBytes, 4, x, y) != pixels[y * h.width + x];
  EXPECT_EQ(differing, 0u) << "pixels that differ from the bitmap file's";
}

// How often each palette index occurs, as fractions of the picture.
std::vector<double> Shares(const std::vector<unsigned>& pixels, std::size_t entries) {
  std::vector<double> shares(entries, 0.0);
  for (const unsigned index : pixels) {
    if (index < entries) shares[index] += 1.0 / static_cast<double>(pixels.size());
  }
  return shares;
}

// The resources the dialog loads for a scale are the files drawn for it.
static_assert(platform::ScaledBitmapId(IDB_LOGO, 0) == IDB_LOGO, "100 % is the template's bitmap");
static_assert(platform::ScaledBitmapId(IDB_LOGO, 1) == IDB_LOGO_125 &&
                  platform::ScaledBitmapId(IDB_LOGO, 2) == IDB_LOGO_150 &&
                  platform::ScaledBitmapId(IDB_LOGO, 3) == IDB_LOGO_200,
              "logo ids of res/setup.rc");
static_assert(platform::ScaledBitmapId(IDB_MENU_PICTURE, 1) == IDB_MENU_PICTURE_125 &&
                  platform::ScaledBitmapId(IDB_MENU_PICTURE, 2) == IDB_MENU_PICTURE_150 &&
                  platform::ScaledBitmapId(IDB_MENU_PICTURE, 3) == IDB_MENU_PICTURE_200,
              "menu picture ids of res/setup.rc");

// The unpacking: a 3 x 2 picture of three colours (rows 0 1 2 and 2 2 1,
// from the top) as tools/pack-artwork.py packs it, and every stream that
// does not hold together refused.
TEST(Artwork, UnpackingTakesWholeStreamsOnly) {
  const Bytes good = {3, 0, 2, 0, 3, 10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0, 0, 1, 33, 161, 0, 0, 0};
  Bytes out = {'x'};
  ASSERT_TRUE(platform::UnpackArtwork(good.data(), good.size(), out));
  const Bytes header = {40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 4, 0, 0, 0, 0, 0,
                        8, 0, 0, 0, 0x13, 0xB, 0, 0, 0x13, 0xB, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0};
  Bytes dib = header;
  dib.insert(dib.end(), good.begin() + 5, good.begin() + 17);  // the colour table
  // The bottom row first, two pixels a byte, rows padded to four bytes.
  dib.insert(dib.end(), {0x22, 0x10, 0, 0, 0x01, 0x20, 0, 0});
  EXPECT_EQ(out, dib);

  auto changed = [&good](std::size_t at, unsigned char value) {
    Bytes b = good;
    b[at] = value;
    return b;
  };
  Bytes cut(good.begin(), good.end() - 1), longer = good;
  longer.push_back(0);
  const Bytes rows[] = {
      cut,                      // the stream cut short
      longer,                   // a byte after the picture
      changed(0, 0),            // no width
      changed(2, 0),            // no height
      changed(4, 0),            // no colours
      changed(4, 17),           // more colours than four bits tell
      changed(4, 2),            // index 2 with two colours
      Bytes(good.begin(), good.begin() + 17),  // no stream at all
      {3, 0, 2, 0},
      {},
  };
  for (const Bytes& row : rows) {
    out = {'x'};
    EXPECT_FALSE(platform::UnpackArtwork(row.data(), row.size(), out)) << row.size() << " bytes";
    EXPECT_TRUE(out.empty());
  }
}

TEST(Artwork, TheDialogTakesTheScaleNearestTheDpi) {
  struct Row {
    int dpi, percent;
  };
  const Row rows[] = {{72, 100},  {96, 100},  {108, 100}, {110, 125}, {120, 125}, {132, 125},
                      {133, 150}, {144, 150}, {168, 150}, {169, 200}, {192, 200}, {288, 200}};
  for (const Row& row : rows) {
    EXPECT_EQ(platform::kArtworkScales[platform::NearestArtworkScale(row.dpi)], row.percent) << row.dpi << " dpi";
  }
}

// The menu picture at each scale: 16 colours, run-length encoded, every
// pixel drawn, and the same picture as at 100 % (its colours in nearly the
// same shares), not a stretched or empty one.
TEST(Artwork, MenuPictureIsSixteenColoursAtEachScale) {
  struct Picture {
    const char* file;
    std::int32_t width, height;
  };
  const Picture pictures[] = {
      {"menu.bmp", 307, 175}, {"menu125.bmp", 384, 219}, {"menu150.bmp", 461, 263}, {"menu200.bmp", 614, 350}};
  std::vector<double> original;
  for (const Picture& picture : pictures) {
    SCOPED_TRACE(picture.file);
    const Bytes b = ReadArtwork(picture.file);
    ASSERT_FALSE(b.empty());
    const InfoHeader h = ReadBitmap(b, kBiRle4);
    ASSERT_EQ(h.width, picture.width);
    ASSERT_EQ(h.height, picture.height);
    ASSERT_EQ(h.bpp, 4u);
    const std::size_t entries = h.PaletteEntries();
    ASSERT_GE(entries, 2u);
    ASSERT_LE(entries, 16u);
    const std::vector<unsigned> pixels = DecodeRle(b, h);
    if (picture.width != 307) ExpectSamePicture(std::string(picture.file, 7) + ".pak", b, h, pixels);
    std::set<unsigned> used;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      ASSERT_NE(pixels[i], kUnset) << "pixel " << i % h.width << "," << i / h.width << " is never drawn";
      ASSERT_LT(pixels[i], entries) << "pixel " << i % h.width << "," << i / h.width << " is outside the palette";
      used.insert(pixels[i]);
    }
    EXPECT_GE(used.size(), 4u) << "the picture is nearly blank";
    const std::vector<double> shares = Shares(pixels, entries);
    if (original.empty()) original = shares;
    double moved = 0;
    for (std::size_t i = 0; i < entries && i < original.size(); ++i) moved += std::abs(shares[i] - original[i]);
    EXPECT_LT(moved / 2, 0.08) << "the colours' shares differ from the 100 % picture's";
  }
}

// The logo at 100, 125, 150 and 200 %: 16 colours, run-length encoded,
// every pixel drawn, on the dialog's background.
TEST(Artwork, LogoAtEachScaleIsDrawnAtItsSizeOnTheDialogBackground) {
  const std::pair<const char*, std::int32_t> logos[] = {
      {"logo.bmp", 64}, {"logo125.bmp", 80}, {"logo150.bmp", 96}, {"logo200.bmp", 128}};
  for (const auto& [file, size] : logos) {
    SCOPED_TRACE(file);
    const Bytes b = ReadArtwork(file);
    ASSERT_FALSE(b.empty());
    const InfoHeader h = ReadBitmap(b, kBiRle4);
    ASSERT_EQ(h.width, size);
    ASSERT_EQ(h.height, size);
    ASSERT_EQ(h.bpp, 4u);
    const std::size_t entries = h.PaletteEntries();
    ASSERT_LE(entries, 16u);
    const std::vector<unsigned> pixels = DecodeRle(b, h);
    if (size != 64) ExpectSamePicture(std::string(file, 7) + ".pak", b, h, pixels);
    std::set<unsigned> used(pixels.begin(), pixels.end());
    EXPECT_EQ(used.count(kUnset), 0u) << "pixels never drawn";
    EXPECT_GE(used.size(), 12u) << "the logo is nearly blank";
    // The top left corner is the last row stored; palette entries are
    // blue-green-red.
    const unsigned corner = pixels.at(static_cast<std::size_t>(size) * (size - 1));
    ASSERT_LT(corner, entries);
    const std::size_t colour = h.PaletteAt() + 4 * corner;
    EXPECT_EQ(b[colour + 2], 170);
    EXPECT_EQ(b[colour + 1], 210);
    EXPECT_EQ(b[colour], 150);
  }
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
