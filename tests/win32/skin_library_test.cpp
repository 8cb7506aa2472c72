// SkinH_EL.dll itself: what it accepts, what it refuses without touching anything,
// and what a skinned window looks like.

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "skin/carried_bytes.h"
#include "tests/win32/skin_test_support.h"

namespace zentravo::skin_test {
namespace {

using AttachRes = int(WINAPI*)(const unsigned char*, int, const char*, int, int, int);

constexpr char kSkinnedProperty[] = "SkinH_EL.Skinned";
constexpr std::uint16_t kTagName = 0x0001;
constexpr std::uint16_t kTagBackground = 0x0010;
constexpr std::uint16_t kTagFrame = 0x0011;

// A copy of the built library under a path of its own: a library that applied a
// skin never unloads, so every test gets a fresh module.
class LibraryCopy {
 public:
  LibraryCopy() {
    path_ = NewSandboxFolder("library") + "\\SkinH_EL.dll";
    CopyFileA((BinariesFolder() + "\\SkinH_EL.dll").c_str(), path_.c_str(), FALSE);
    module_ = LoadLibraryA(path_.c_str());
    if (module_ != nullptr) {
      attach_ = reinterpret_cast<AttachRes>(
          reinterpret_cast<void*>(GetProcAddress(module_, "SkinH_AttachRes")));
    }
  }
  LibraryCopy(const LibraryCopy&) = delete;
  LibraryCopy& operator=(const LibraryCopy&) = delete;
  ~LibraryCopy() {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  bool Usable() const { return attach_ != nullptr; }
  int Attach(const void* data, int length, const char* text = nullptr, int a = 0, int b = 0, int c = 0) {
    return attach_(static_cast<const unsigned char*>(data), length, text, a, b, c);
  }
  HMODULE module() const { return module_; }
  // Frees this test's reference; true when the library is then gone from the process.
  bool UnloadsWhenFreed() {
    FreeLibrary(std::exchange(module_, nullptr));
    return GetModuleHandleA(path_.c_str()) == nullptr;
  }

 private:
  std::string path_;
  HMODULE module_ = nullptr;
  AttachRes attach_ = nullptr;
};

// A hidden top-level window of this thread, as the program's main window is when
// the skin is attached.
class TestWindow {
 public:
  explicit TestWindow(DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU) {
    static ATOM windowClass = [] {
      WNDCLASSA definition = {};
      definition.lpfnWndProc = DefWindowProcA;
      definition.hInstance = GetModuleHandleA(nullptr);
      definition.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
      definition.lpszClassName = "ZentravoSkinTestWindow";
      return RegisterClassA(&definition);
    }();
    window_ = CreateWindowExA(0, MAKEINTATOM(windowClass), "skin test", style, 10, 10, 380, 187,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  ~TestWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }

  HWND get() const { return window_; }
  bool Skinned() const {
    return GetPropA(window_, kSkinnedProperty) != nullptr &&
           GetWindowLongPtrA(window_, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(DefWindowProcA);
  }
  bool Untouched() const {
    return GetPropA(window_, kSkinnedProperty) == nullptr &&
           GetWindowLongPtrA(window_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(DefWindowProcA);
  }

  // The client background as the window erases it, read back pixel by pixel.
  std::vector<COLORREF> ErasedBackground(int& width, int& height) const {
    RECT client;
    GetClientRect(window_, &client);
    width = client.right;
    height = client.bottom;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageA(window_, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
    std::vector<COLORREF> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) pixels[static_cast<std::size_t>(y) * width + x] = GetPixel(memory, x, y);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
  }

 private:
  HWND window_ = nullptr;
};

std::string Background(const std::string& top, const std::string& bottom) { return top + bottom; }

std::string ValidSkin() {
  return EncodeSkin({{kTagName, "test"},
                     {kTagBackground, Background(Rgb(0x10, 0x20, 0x30), Rgb(0x40, 0x50, 0x60))},
                     {kTagFrame, Rgb(0xC0, 0x80, 0x40) + std::string(1, '\x03')}});
}

// Memory that can be read up to `readable` bytes and not a byte further.
class FencedBuffer {
 public:
  explicit FencedBuffer(const std::string& bytes) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    page_ = info.dwPageSize;
    base_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * page_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old);
    start_ = base_ + page_ - bytes.size();
    std::copy(bytes.begin(), bytes.end(), start_);
  }
  FencedBuffer(const FencedBuffer&) = delete;
  FencedBuffer& operator=(const FencedBuffer&) = delete;
  ~FencedBuffer() { VirtualFree(base_, 0, MEM_RELEASE); }
  const char* start() const { return start_; }
  const char* fence() const { return base_ + page_; }

 private:
  DWORD page_ = 0;
  char* base_ = nullptr;
  char* start_ = nullptr;
};

class SkinLibraryTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!InSandbox()) {
      GTEST_FAIL() << "no skin sandbox: run through skin_sandbox.sh (ctest does)";
    }
  }
};

TEST_F(SkinLibraryTest, ExportsTheEntryPointUnderItsModuleName) {
  LibraryCopy library;
  ASSERT_TRUE(library.Usable());
  auto* base = reinterpret_cast<const unsigned char*>(library.module());
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  // The headers of this build's own kind: PE32 for the 32-bit program, PE32+ for x64.
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
#ifdef _WIN64
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
#endif
  ASSERT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR_MAGIC);
  const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(entry.VirtualAddress, 0u);
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), "SkinH_EL.dll");
  ASSERT_EQ(exports->NumberOfNames, 1u);
  auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  EXPECT_STREQ(reinterpret_cast<const char*>(base + names[0]), "SkinH_AttachRes");
}

TEST_F(SkinLibraryTest, RefusesUnusableDataAndTouchesNothing) {
  const std::string valid = ValidSkin();
  auto damaged = [&](std::size_t at, char value) {
    std::string copy = valid;
    copy[at] = value;
    return copy;
  };
  auto withHeader = [](std::string skin, std::size_t at, std::uint8_t value) {
    skin[at] = static_cast<char>(value);
    return skin;
  };
  // The checksum made right again, so that a broken record area is found by the
  // walk through the records rather than by the checksum.
  auto resealed = [](std::string skin) {
    std::uint32_t a = 1, b = 0;
    for (std::size_t i = 16; i < skin.size(); ++i) {
      a = (a + static_cast<unsigned char>(skin[i])) % 65521;
      b = (b + a) % 65521;
    }
    for (int i = 0; i < 4; ++i) skin[12 + i] = static_cast<char>((((b << 16) | a) >> (8 * i)) & 0xFF);
    return skin;
  };
  std::string overrun = EncodeSkin({{kTagBackground, std::string(6, 'x')}});
  overrun[18] = 7;  // the record claims one byte more than the area holds
  constexpr int kWhole = INT_MIN;
  struct Row {
    const char* what;
    std::string bytes;
    int length;  // kWhole: the length of `bytes`
    int expected;
  } rows[] = {
      {"zero length", valid, 0, 1},
      {"negative length", valid, -5, 1},
      {"three bytes of the magic", ".SH", kWhole, 2},
      {"header cut short", valid.substr(0, 15), kWhole, 2},
      {"short and foreign", "MZ", kWhole, 3},
      {"foreign data", std::string("MZ\x90\0\3\0\0\0\4\0\0\0\xff\xff\0\0\xb8\0", 18), kWhole, 3},
      {"magic off by one letter", damaged(3, 'F'), kWhole, 3},
      {"a later version", EncodeSkin({{kTagBackground, std::string(6, 'x')}}, 2), kWhole, 4},
      {"area longer than the data", valid.substr(0, valid.size() - 1), kWhole, 5},
      {"a byte after the area", valid + "x", kWhole, 5},
      {"checksum does not match", damaged(valid.size() - 2, '\x7f'), kWhole, 5},
      {"more records counted than present", withHeader(valid, 6, 4), kWhole, 5},
      {"record overruns the area", resealed(overrun), kWhole, 5},
      {"frame wider than 16", EncodeSkin({{kTagBackground, std::string(6, 'x')},
                                          {kTagFrame, Rgb(1, 2, 3) + std::string(1, '\x11')}}),
       kWhole, 5},
      {"no background", EncodeSkin({{kTagName, "n"}}), kWhole, 6},
      {"background of five bytes", EncodeSkin({{kTagBackground, std::string(5, 'x')}}), kWhole, 6},
  };
  LibraryCopy library;
  ASSERT_TRUE(library.Usable());
  TestWindow window;
  ASSERT_NE(window.get(), nullptr);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const int length = row.length == kWhole ? static_cast<int>(row.bytes.size()) : row.length;
    EXPECT_EQ(library.Attach(row.bytes.data(), length), row.expected);
    EXPECT_TRUE(window.Untouched());
  }
  EXPECT_TRUE(library.UnloadsWhenFreed()) << "refused data must not keep the library loaded";
}

TEST_F(SkinLibraryTest, NeverReadsThroughABadPointer) {
  const std::string valid = ValidSkin();
  FencedBuffer fenced(valid.substr(0, 8));  // 8 readable bytes, then a page that is not
  struct Row {
    const char* what;
    const void* data;
    int length;
  } rows[] = {
      {"null pointer", nullptr, 45},
      {"null pointer, huge length", nullptr, 0x7fffffff},
      {"unmapped address", reinterpret_cast<const void*>(0x10), 45},
      {"length running past readable memory", fenced.start(), static_cast<int>(valid.size())},
      {"pointer into memory that cannot be read", fenced.fence(), 16},
  };
  LibraryCopy library;
  ASSERT_TRUE(library.Usable());
  TestWindow window;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(library.Attach(row.data, row.length), 1);
    EXPECT_TRUE(window.Untouched());
  }
}

TEST_F(SkinLibraryTest, PaintsTheCaptionedWindowsOfTheCallingThread) {
  LibraryCopy library;
  ASSERT_TRUE(library.Usable());
  TestWindow window;
  TestWindow popup(WS_POPUP);  // no caption: not an application window to skin
  const std::string skin = ValidSkin();
  // The text and the integers mean nothing to this library.
  ASSERT_EQ(library.Attach(skin.data(), static_cast<int>(skin.size()), "ignored", 1, -2, 3), 0);
  EXPECT_TRUE(window.Skinned());
  EXPECT_TRUE(popup.Untouched());

  int width = 0, height = 0;
  std::vector<COLORREF> pixels = window.ErasedBackground(width, height);
  ASSERT_GT(height, 20);
  auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; };
  auto isAbout = [](COLORREF actual, int r, int g, int b) {
    return std::abs(GetRValue(actual) - r) <= 4 && std::abs(GetGValue(actual) - g) <= 4 &&
           std::abs(GetBValue(actual) - b) <= 4;
  };
  const COLORREF frame = RGB(0xC0, 0x80, 0x40);
  EXPECT_EQ(at(0, 0), frame);
  EXPECT_EQ(at(2, height / 2), frame);
  EXPECT_EQ(at(width - 1, height - 1), frame);
  EXPECT_TRUE(isAbout(at(width / 2, 3), 0x10, 0x20, 0x30)) << std::hex << at(width / 2, 3);
  EXPECT_TRUE(isAbout(at(width / 2, height - 4), 0x40, 0x50, 0x60)) << std::hex << at(width / 2, height - 4);
  const COLORREF middle = at(width / 2, height / 2);
  EXPECT_TRUE(GetRValue(middle) > 0x10 + 4 && GetRValue(middle) < 0x40 - 4) << "a gradient";

  EXPECT_FALSE(library.UnloadsWhenFreed()) << "a library that skinned windows stays loaded";
}

TEST_F(SkinLibraryTest, AcceptsWhatAWellFormedSkinMayHold) {
  struct Row {
    const char* what;
    std::string skin;
  } rows[] = {
      {"background only", EncodeSkin({{kTagBackground, std::string(6, '\x20')}})},
      {"an unknown record is skipped",
       EncodeSkin({{0x0777, "later"}, {kTagBackground, std::string(6, '\x20')}})},
      {"a long name is cut", EncodeSkin({{kTagName, std::string(200, 'n')},
                                         {kTagBackground, std::string(6, '\x20')}})},
      {"frame of width 0", EncodeSkin({{kTagBackground, std::string(6, '\x20')},
                                       {kTagFrame, std::string(4, '\0')}})},
      {"the skin the program carries", SkinBytes().str()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    LibraryCopy library;
    ASSERT_TRUE(library.Usable());
    TestWindow window;
    EXPECT_EQ(library.Attach(row.skin.data(), static_cast<int>(row.skin.size())), 0);
    EXPECT_TRUE(window.Skinned());
  }
}

TEST_F(SkinLibraryTest, ASkinnedWindowStillWorksAndIsDestroyedCleanly) {
  LibraryCopy library;
  ASSERT_TRUE(library.Usable());
  auto window = std::make_unique<TestWindow>();
  const std::string skin = ValidSkin();
  ASSERT_EQ(library.Attach(skin.data(), static_cast<int>(skin.size())), 0);
  // Messages the skin does not handle reach the window's own procedure.
  EXPECT_TRUE(SetWindowTextA(window->get(), "renamed"));
  char caption[32] = {};
  GetWindowTextA(window->get(), caption, sizeof(caption));
  EXPECT_STREQ(caption, "renamed");
  // A second skin only recolours the window.
  const std::string second = EncodeSkin({{kTagBackground, Rgb(1, 2, 3) + Rgb(1, 2, 3)}});
  EXPECT_EQ(library.Attach(second.data(), static_cast<int>(second.size())), 0);
  int width = 0, height = 0;
  std::vector<COLORREF> pixels = window->ErasedBackground(width, height);
  ASSERT_FALSE(pixels.empty());
  EXPECT_EQ(pixels[0], RGB(1, 2, 3));
  HWND handle = window->get();
  window.reset();
  EXPECT_FALSE(IsWindow(handle));
}

}  // namespace
}  // namespace zentravo::skin_test
