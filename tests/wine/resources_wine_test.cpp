// The resources compiled into SetUp.exe, read back with the system's own
// resource calls: template 141 against the control table the headless
// dialog is made from, the pictures and the icon at their sizes and depths,
// the manifest and the version record.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/build_constants.h"
#include "platform/packed_artwork.h"
#include "res/setup_resources.h"
#include "ui/setup_template.h"

namespace {

constexpr WORD kChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

std::wstring FromCp936(const char* text) {
  const int length = MultiByteToWideChar(936, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(936, 0, text, -1, &wide[0], length);
  wide.resize(wide.size() - 1);
  return wide;
}

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA(SETUP_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot open " << SETUP_EXE_PATH;
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  // The bytes of resource (type, id) in Chinese (PRC); empty when missing.
  std::vector<unsigned char> Resource(LPCSTR type, int id, WORD language = kChinesePrc) {
    const HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), language);
    if (!found) return {};
    const HGLOBAL loaded = LoadResource(module_, found);
    const auto* data = static_cast<const unsigned char*>(LockResource(loaded));
    return std::vector<unsigned char>(data, data + SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

// A cursor over a dialog template: words, dwords, strings and ordinals,
// with the alignment the format asks for.
class TemplateReader {
 public:
  explicit TemplateReader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
  WORD Word() {
    WORD value = 0;
    if (at_ + 2 <= bytes_.size()) std::memcpy(&value, &bytes_[at_], 2);
    at_ += 2;
    return value;
  }
  DWORD Dword() {
    const DWORD low = Word();
    return low | (static_cast<DWORD>(Word()) << 16);
  }
  short Short() { return static_cast<short>(Word()); }
  // A string, or "#n" for an ordinal.
  std::wstring SzOrOrdinal() {
    if (at_ + 2 <= bytes_.size() && bytes_[at_] == 0xFF && bytes_[at_ + 1] == 0xFF) {
      Word();
      return L"#" + std::to_wstring(Word());
    }
    std::wstring text;
    for (WORD c = Word(); c != 0 && at_ <= bytes_.size(); c = Word()) text.push_back(static_cast<wchar_t>(c));
    return text;
  }
  void AlignDword() { at_ = (at_ + 3) & ~static_cast<std::size_t>(3); }
  void Skip(std::size_t bytes) { at_ += bytes; }
  bool Overrun() const { return at_ > bytes_.size(); }

 private:
  const std::vector<unsigned char>& bytes_;
  std::size_t at_ = 0;
};

// A class as the dialog manager takes it: a predefined class's atom and its
// name are the same class, and names compare ignoring case.
std::wstring ClassName(std::wstring name) {
  if (name == L"#128") name = L"Button";
  if (name == L"#129") name = L"Edit";
  if (name == L"#130") name = L"Static";
  CharUpperW(&name[0]);
  return name;
}

TEST_F(ResourcesTest, DialogTemplateIsTheControlTable) {
  const std::vector<unsigned char> bytes = Resource(RT_DIALOG, IDD_SETUP);
  ASSERT_FALSE(bytes.empty()) << "template 141 in language 2052";
  const platform::DialogTemplate& expected = SetupDialogTemplate();
  TemplateReader in(bytes);
  EXPECT_EQ(in.Word(), 1) << "extended template";
  EXPECT_EQ(in.Word(), 0xFFFF);
  in.Dword();  // help id
  EXPECT_EQ(in.Dword(), expected.exStyle);
  EXPECT_EQ(in.Dword(), expected.style);
  ASSERT_EQ(in.Word(), expected.controlCount);
  EXPECT_EQ(in.Short(), expected.x);
  EXPECT_EQ(in.Short(), expected.y);
  EXPECT_EQ(in.Short(), expected.cx);
  EXPECT_EQ(in.Short(), expected.cy);
  EXPECT_EQ(in.SzOrOrdinal(), L"") << "no menu";
  EXPECT_EQ(in.SzOrOrdinal(), L"") << "the standard dialog class";
  EXPECT_EQ(in.SzOrOrdinal(), FromCp936(expected.caption));
  EXPECT_EQ(in.Word(), expected.fontPoints);
  EXPECT_EQ(in.Word(), 0) << "weight";
  in.Skip(2);  // italic and character set: the next test
  EXPECT_EQ(in.SzOrOrdinal(), FromCp936(expected.fontFace));

  for (int i = 0; i < expected.controlCount; ++i) {
    const platform::ControlTemplate& control = expected.controls[i];
    SCOPED_TRACE("control " + std::to_string(i + 1) + ", id " + std::to_string(control.id));
    in.AlignDword();
    in.Dword();  // help id
    EXPECT_EQ(in.Dword(), 0u) << "extended style";
    const DWORD style = WS_CHILD | (control.visible ? WS_VISIBLE : 0) | control.style;
    EXPECT_EQ(in.Dword(), style);
    EXPECT_EQ(in.Short(), control.x);
    EXPECT_EQ(in.Short(), control.y);
    EXPECT_EQ(in.Short(), control.cx);
    EXPECT_EQ(in.Short(), control.cy);
    EXPECT_EQ(static_cast<int>(in.Dword()), control.id);
    EXPECT_EQ(ClassName(in.SzOrOrdinal()), ClassName(FromCp936(control.className)));
    const std::wstring text = in.SzOrOrdinal();
    if (control.text) {
      EXPECT_EQ(text, FromCp936(control.text));
    } else {
      EXPECT_EQ(text, L"#" + std::to_wstring(control.imageId));
    }
    const WORD extra = in.Word();
    in.Skip(extra);
    ASSERT_FALSE(in.Overrun());
  }
}

TEST_F(ResourcesTest, DialogFontIsNinePointSongTiInTheDefaultCharacterSet) {
  const std::vector<unsigned char> bytes = Resource(RT_DIALOG, IDD_SETUP);
  ASSERT_GT(bytes.size(), 64u);
  TemplateReader in(bytes);
  in.Skip(26);  // the fixed header up to the menu
  in.SzOrOrdinal();
  in.SzOrOrdinal();
  in.SzOrOrdinal();
  EXPECT_EQ(in.Word(), 9);
  EXPECT_EQ(in.Word(), 0);
  // italic, then the character set: read as one word, italic low.
  const WORD italicAndCharSet = in.Word();
  EXPECT_EQ(italicAndCharSet & 0xFF, 0);
  EXPECT_EQ(italicAndCharSet >> 8, SETUP_DIALOG_FONT_CHARSET);
}

// BITMAPINFOHEADER of a bitmap resource.
BITMAPINFOHEADER HeaderOf(const std::vector<unsigned char>& bytes) {
  BITMAPINFOHEADER header = {};
  if (bytes.size() >= sizeof(header)) std::memcpy(&header, bytes.data(), sizeof(header));
  return header;
}

TEST_F(ResourcesTest, PicturesAndIconHaveTheirSizesAndDepths) {
  // The pictures at each display scale, the larger ones packed (unpacked,
  // a DIB as a BITMAP resource holds); the system makes a bitmap of each,
  // run-length encoded ones included, at its size.
  struct Picture {
    int id;
    LONG width, height;
    WORD bits;
    bool packed;
  };
  const Picture pictures[] = {
      {IDB_MENU_PICTURE, 307, 175, 4, false},    {IDB_MENU_PICTURE_125, 384, 219, 4, true},
      {IDB_MENU_PICTURE_150, 461, 263, 4, true}, {IDB_MENU_PICTURE_200, 614, 350, 4, true},
      {IDB_LOGO, 64, 64, 4, false},             {IDB_LOGO_125, 80, 80, 4, true},
      {IDB_LOGO_150, 96, 96, 4, true},           {IDB_LOGO_200, 128, 128, 4, true},
  };
  for (const Picture& picture : pictures) {
    SCOPED_TRACE(picture.id);
    std::vector<unsigned char> bytes = Resource(RT_BITMAP, picture.id);
    if (picture.packed) {
      EXPECT_TRUE(bytes.empty()) << "kept packed, not as a bitmap";
      const std::vector<unsigned char> packed = Resource(RT_RCDATA, picture.id);
      ASSERT_TRUE(platform::UnpackArtwork(packed.data(), packed.size(), bytes));
    }
    const BITMAPINFOHEADER header = HeaderOf(bytes);
    EXPECT_EQ(header.biWidth, picture.width);
    EXPECT_EQ(header.biHeight, picture.height);
    EXPECT_EQ(header.biBitCount, picture.bits);
    // As LoadImage makes a bitmap of a resource: a device-dependent one.
    const HDC screen = GetDC(nullptr);
    const std::size_t palette = header.biClrUsed ? header.biClrUsed : header.biBitCount <= 8 ? 1u << header.biBitCount : 0;
    const HBITMAP bitmap = CreateDIBitmap(screen, &header, CBM_INIT, bytes.data() + header.biSize + 4 * palette,
                                          reinterpret_cast<const BITMAPINFO*>(bytes.data()), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(bitmap, nullptr);
    BITMAP made = {};
    EXPECT_EQ(GetObjectW(bitmap, sizeof(made), &made), static_cast<int>(sizeof(made)));
    EXPECT_EQ(made.bmWidth, picture.width);
    EXPECT_EQ(made.bmHeight, picture.height);
    DeleteObject(bitmap);
  }

  // The icon group: nine images, 48, 32 and 16 px at 4, 8 and 32 bpp.
  const std::vector<unsigned char> group = Resource(RT_GROUP_ICON, IDI_SETUP);
  ASSERT_GE(group.size(), 6u);
  WORD count = 0;
  std::memcpy(&count, &group[4], 2);
  ASSERT_EQ(count, 9);
  ASSERT_EQ(group.size(), 6u + 14u * count);
  std::vector<std::pair<int, int>> images;
  for (WORD i = 0; i < count; ++i) {
    const unsigned char* entry = &group[6 + 14 * i];
    const int size = entry[0] == 0 ? 256 : entry[0];
    WORD bits = 0, id = 0;
    std::memcpy(&bits, entry + 6, 2);
    std::memcpy(&id, entry + 12, 2);
    images.emplace_back(size, bits);
    const BITMAPINFOHEADER image = HeaderOf(Resource(RT_ICON, id));
    EXPECT_EQ(image.biWidth, size) << "icon image " << id;
    EXPECT_EQ(image.biBitCount, bits) << "icon image " << id;
  }
  for (const int size : {48, 32, 16}) {
    for (const int bits : {4, 8, 32}) {
      EXPECT_NE(std::find(images.begin(), images.end(), std::make_pair(size, bits)), images.end())
          << size << " px at " << bits << " bpp";
    }
  }
  // The system can make an icon of it at the small size.
  const HANDLE small = LoadImageW(module_, MAKEINTRESOURCEW(IDI_SETUP), IMAGE_ICON, 16, 16, 0);
  EXPECT_NE(small, nullptr);
  if (small) DestroyIcon(static_cast<HICON>(small));
}

TEST_F(ResourcesTest, ManifestRunsAsInvokerAndNamesNoSideBySideAssembly) {
  std::vector<unsigned char> manifest = Resource(RT_MANIFEST, 1);
  if (manifest.empty()) manifest = Resource(RT_MANIFEST, 1, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  ASSERT_FALSE(manifest.empty());
  const std::string text(manifest.begin(), manifest.end());
  EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(text.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"),
            std::string::npos)
      << "aware of the system DPI";
  EXPECT_EQ(text.find("dependentAssembly"), std::string::npos) << "a static program needs no run-time assembly";
}

TEST_F(ResourcesTest, VersionRecordCarriesTheVersionNumber) {
  const std::vector<unsigned char> version = Resource(RT_VERSION, 1);
  ASSERT_FALSE(version.empty());
  // VS_FIXEDFILEINFO follows its signature.
  const DWORD signature = 0xFEEF04BD;
  const auto at = std::search(version.begin(), version.end(), reinterpret_cast<const unsigned char*>(&signature),
                              reinterpret_cast<const unsigned char*>(&signature) + 4);
  ASSERT_NE(at, version.end());
  VS_FIXEDFILEINFO info = {};
  ASSERT_LE(static_cast<std::size_t>(version.end() - at), version.size());
  std::memcpy(&info, &*at, sizeof(info));
  const int major = versionNumber / 10000, minor = versionNumber % 10000 / 100, patch = versionNumber % 100;
  EXPECT_EQ(HIWORD(info.dwFileVersionMS), major);
  EXPECT_EQ(LOWORD(info.dwFileVersionMS), minor);
  EXPECT_EQ(HIWORD(info.dwFileVersionLS), patch);
}

// The string values of a version record's StringFileInfo tables, walked by
// the record's own lengths: each node is wLength, wValueLength, wType, its
// key, padding to a dword, its value, then its children.
void CollectVersionStrings(const std::vector<unsigned char>& bytes, std::size_t at, std::size_t end, int depth,
                           std::vector<std::pair<std::wstring, std::wstring>>& strings) {
  while (at + 6 <= end) {
    WORD length = 0, valueLength = 0, type = 0;
    std::memcpy(&length, &bytes[at], 2);
    std::memcpy(&valueLength, &bytes[at + 2], 2);
    std::memcpy(&type, &bytes[at + 4], 2);
    if (length < 6 || at + length > end) return;
    const std::size_t nodeEnd = at + length;
    std::size_t cursor = at + 6;
    std::wstring key;
    while (cursor + 2 <= nodeEnd) {
      WORD c = 0;
      std::memcpy(&c, &bytes[cursor], 2);
      cursor += 2;
      if (c == 0) break;
      key.push_back(static_cast<wchar_t>(c));
    }
    cursor = (cursor + 3) & ~static_cast<std::size_t>(3);
    // Depth 0 is VS_VERSION_INFO, 1 StringFileInfo, 2 a language's table,
    // 3 its strings, whose value length counts characters.
    if (depth == 3) {
      std::wstring value;
      for (std::size_t i = 0; i < valueLength && cursor + 2 * i + 2 <= nodeEnd; ++i) {
        WORD c = 0;
        std::memcpy(&c, &bytes[cursor + 2 * i], 2);
        if (c != 0) value.push_back(static_cast<wchar_t>(c));
      }
      strings.emplace_back(key, value);
    } else if (depth == 0 || key == L"StringFileInfo" || depth == 2) {
      const std::size_t value = depth == 0 ? valueLength : (type == 1 ? 2u * valueLength : valueLength);
      const std::size_t children = (cursor + value + 3) & ~static_cast<std::size_t>(3);
      CollectVersionStrings(bytes, children, nodeEnd, depth + 1, strings);
    }
    at = (nodeEnd + 3) & ~static_cast<std::size_t>(3);
  }
}

TEST_F(ResourcesTest, VersionStringsNameTheVersionTheEditionAndTheFile) {
  const std::vector<unsigned char> version = Resource(RT_VERSION, 1);
  ASSERT_FALSE(version.empty());
  std::vector<std::pair<std::wstring, std::wstring>> strings;
  CollectVersionStrings(version, 0, version.size(), 0, strings);
  const std::wstring dotted = std::to_wstring(versionNumber / 10000) + L"." +
                              std::to_wstring(versionNumber % 10000 / 100) + L"." +
                              std::to_wstring(versionNumber % 100);
  // As Explorer's properties show them: the edition is in the description.
  const std::pair<std::wstring, std::wstring> expected[] = {
      {L"FileDescription", FromCp936("V-批打印软件安装（") + std::to_wstring(editionBits) + FromCp936("位）")},
      {L"FileVersion", dotted},
      {L"ProductVersion", dotted},
      {L"OriginalFilename", L"SetUp.exe"},
  };
  for (const auto& row : expected) {
    const auto found = std::find_if(strings.begin(), strings.end(),
                                    [&](const std::pair<std::wstring, std::wstring>& s) { return s.first == row.first; });
    ASSERT_NE(found, strings.end()) << std::string(row.first.begin(), row.first.end());
    EXPECT_EQ(found->second, row.second) << std::string(row.first.begin(), row.first.end());
  }
}

}  // namespace
