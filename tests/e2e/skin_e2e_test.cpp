// The window skin of the real Zentravo.exe: which copy of the skin library it
// writes, chooses and calls, seen through the files on drive D:, in the program's
// folder and in the system directory, through probe libraries that log their calls,
// and on the screen. Runs through skin_sandbox.sh, which lends the prefix a drive D:
// and takes back everything the tests leave.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "skin/carried_bytes.h"
#include "tests/e2e/support/program.h"
#include "tests/e2e/support/screen.h"
#include "tests/e2e/support/wait.h"
#include "tests/e2e/support/window_query.h"
#include "tests/e2e/support/zentravo.h"
#include "tests/win32/skin_test_support.h"

namespace zentravo::e2e {
namespace {

using skin_test::FileIdentity;
using skin_test::FolderEntries;
using skin_test::HeldOpen;
using skin_test::ProbeBytes;
using skin_test::ProbeLog;
using skin_test::ReadWholeFile;
using Lines = std::vector<std::string>;

constexpr char kDropPath[] = "D:\\weiboSkin.dll";
constexpr char kSkinnedProperty[] = "SkinH_EL.Skinned";  // set by SkinH_EL.dll on what it skins
constexpr char kCarried[] = "carried";                    // the skin library Zentravo.exe carries

std::string SystemCopy() {
  char buffer[MAX_PATH];
  UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
  return std::string(buffer, length) + "\\SkinH_EL.dll";
}

std::string CarriedLibrary() { return ReadWholeFile(skin_test::BinariesFolder() + "\\SkinH_EL.dll"); }

// What a probe logs for the program's one call: the skin's first bytes and length,
// no text, three zeros, and the main window still hidden.
std::string ExpectedCall(const std::string& probe) {
  return "call " + probe + " data=2E534845 length=" + std::to_string(BytesLength(SkinBytes())) +
         " text=null ints=0,0,0 windows=1 visible=0";
}

// A probe loaded for the call and kept until the process ended.
Lines CalledOnce(const std::string& probe) {
  return {"attach " + probe, ExpectedCall(probe), "detach " + probe + " process-exit"};
}

bool Skinned(HWND window) { return GetPropA(window, kSkinnedProperty) != nullptr; }

// The disk as one run of the program finds it.
struct Disk {
  bool driveD = false;
  const char* drop = nullptr;  // at D:\weiboSkin.dll: nullptr, kCarried or a probe
  bool dropInUse = false;      // held open by another program during the run
  const char* programCopy = nullptr;  // probe as SkinH_EL.dll beside Zentravo.exe
  const char* systemCopy = nullptr;   // probe as SkinH_EL.dll in the system directory
};

class SkinEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    if (!skin_test::InSandbox()) {
      GTEST_FAIL() << "no skin sandbox: run through skin_sandbox.sh (ctest does)";
    }
    skin_test::TakeDriveDAway();
  }
  void TearDown() override {
    DeleteFileA(SystemCopy().c_str());
    DeleteFileA((SystemCopy() + ".log").c_str());
    if (skin_test::InSandbox()) skin_test::TakeDriveDAway();
  }

  // Lays out `disk` and a folder with a copy of Zentravo.exe; returns the folder.
  std::string Prepare(const Disk& disk) {
    skin_test::TakeDriveDAway();
    DeleteFileA(SystemCopy().c_str());
    DeleteFileA((SystemCopy() + ".log").c_str());
    const std::string folder = skin_test::NewSandboxFolder("program");
    EXPECT_TRUE(CopyFileA((skin_test::BinariesFolder() + "\\Zentravo.exe").c_str(),
                          (folder + "\\Zentravo.exe").c_str(), FALSE));
    if (disk.driveD) skin_test::GiveDriveD();
    if (disk.drop != nullptr) {
      EXPECT_TRUE(disk.drop == std::string(kCarried)
                      ? skin_test::WriteWholeFile(kDropPath, CarriedLibrary())
                      : skin_test::PlaceProbe(disk.drop, kDropPath));
    }
    if (disk.programCopy != nullptr) {
      EXPECT_TRUE(skin_test::PlaceProbe(disk.programCopy, folder + "\\SkinH_EL.dll"));
    }
    if (disk.systemCopy != nullptr) {
      EXPECT_TRUE(skin_test::PlaceProbe(disk.systemCopy, SystemCopy()));
    }
    return folder;
  }

  // Starts the program, checks that its window came up and works, lets `look`
  // see it, and closes it; the exit code must be 0.
  template <typename Look>
  void Run(const std::string& folder, Look look) {
    RunningZentravo running = LaunchZentravo(folder);
    ASSERT_TRUE(running.program) << "Zentravo.exe did not start";
    ASSERT_NE(running.window, nullptr) << "no main window became visible";
    EXPECT_NE(running.controls.编辑框1, nullptr) << "the window lacks its controls";
    // Nothing but the main window: the skin never shows a message of its own.
    EXPECT_EQ(VisibleProcessWindows(running.program->processId()), std::vector<HWND>{running.window});
    look(running);
    EXPECT_TRUE(SetWindowTextOf(running.controls.编辑框1, "abc"));
    EXPECT_EQ(WindowTextOf(running.controls.编辑框1), "abc");
    PostMessageA(running.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(running.program->WaitForExit(kDefaultTimeoutMs), std::optional<int>(0));
  }
};

TEST_F(SkinEndToEnd, ChoosesTheCopyToLoad) {
  const char* ok = "skin_probe_ok";
  struct Row {
    const char* what;
    Disk disk;
    bool skinned;              // the carried library ran: the window wears the skin
    Lines programLog;          // what the probe beside the program logged
    Lines systemLog;           // what the probe in the system directory logged
    const char* dropAfterwards;  // what D:\weiboSkin.dll holds then (nullptr: no file)
  } rows[] = {
      {"D: empty: the carried library is written there and attached",
       {true, nullptr, false, ok, ok}, true, {}, {}, kCarried},
      {"the carried library already at the drop path is used",
       {true, kCarried, false, ok, ok}, true, {}, {}, kCarried},
      {"a library planted at the drop path is replaced and never runs",
       {true, "skin_probe_fails", false, ok, ok}, true, {}, {}, kCarried},
      {"a planted library that cannot be replaced is passed over for the system copy",
       {true, "skin_probe_fails", true, ok, ok}, false, {}, CalledOnce(ok), "skin_probe_fails"},
      {"no D:, both copies: the system directory's",
       {false, nullptr, false, ok, ok}, false, {}, CalledOnce(ok), nullptr},
      {"no D:, only the program directory's copy",
       {false, nullptr, false, ok, nullptr}, false, CalledOnce(ok), {}, nullptr},
      {"no usable copy anywhere: no call, no message, the window works",
       {false, nullptr, false, nullptr, nullptr}, false, {}, {}, nullptr},
      {"a copy without the export is loaded and unloaded again",
       {false, nullptr, false, nullptr, "skin_probe_no_export"}, false, {},
       {"attach skin_probe_no_export", "detach skin_probe_no_export freed"}, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string folder = Prepare(row.disk);
    const std::string identityBefore = FileIdentity(kDropPath);
    {
      HeldOpen user(row.disk.dropInUse ? kDropPath : "");
      Run(folder, [&](const RunningZentravo& running) { EXPECT_EQ(Skinned(running.window), row.skinned); });
    }
    EXPECT_EQ(ProbeLog(folder + "\\SkinH_EL.dll"), row.programLog);
    EXPECT_EQ(ProbeLog(SystemCopy()), row.systemLog);
    if (row.dropAfterwards == nullptr) {
      EXPECT_FALSE(skin_test::PathExists(kDropPath));
    } else {
      const std::string expected = row.dropAfterwards == std::string(kCarried)
                                       ? CarriedLibrary()
                                       : ProbeBytes(row.dropAfterwards);
      EXPECT_EQ(ReadWholeFile(kDropPath), expected) << "byte for byte";
      // Only the drop file is left on D:: no temporary file, and the planted library
      // never ran, so it logged nothing there.
      EXPECT_EQ(FolderEntries("D:"), Lines{"weiboSkin.dll"});
    }
    if (row.disk.drop != nullptr && row.disk.drop == std::string(kCarried)) {
      EXPECT_EQ(FileIdentity(kDropPath), identityBefore) << "an identical file is not rewritten";
    }
  }
}

// Whatever the library answers, it is called once, before the window is first
// visible, and stays loaded until the program ends.
TEST_F(SkinEndToEnd, CallsTheLibraryOnceBeforeTheWindowShows) {
  for (const char* probe : {"skin_probe_ok", "skin_probe_fails", "skin_probe_minus_one"}) {
    SCOPED_TRACE(probe);
    Run(Prepare(Disk{false, nullptr, false, nullptr, probe}), [](const RunningZentravo&) {});
    EXPECT_EQ(ProbeLog(SystemCopy()), CalledOnce(probe));
  }
}

// The skin as a person sees it, kept as an artifact: the window without a skin
// library beside the window wearing the carried skin.
TEST_F(SkinEndToEnd, TheSkinIsVisible) {
  // An empty stretch of the client area, between the two rows of controls.
  const POINT sample{150, 64};
  auto samplePixel = [&](HWND window) -> std::optional<COLORREF> {
    std::optional<ScreenImage> screen = CaptureScreen();
    if (!screen) return std::nullopt;
    RECT client = ClientRectOnScreen(window);
    return screen->PixelAt(client.left + sample.x, client.top + sample.y);
  };
  auto windowPicture = [](HWND window) -> std::optional<ScreenImage> {
    std::optional<ScreenImage> screen = CaptureSettledScreen();
    if (!screen) return std::nullopt;
    return screen->Crop(ScreenRectOf(window));
  };

  const COLORREF buttonFace = GetSysColor(COLOR_BTNFACE);
  std::optional<ScreenImage> plain, skinned;
  Run(Prepare(Disk{}), [&](const RunningZentravo& running) {
    EXPECT_TRUE(WaitUntil([&] { return samplePixel(running.window) == buttonFace; }))
        << "the unskinned window shows the system's button face colour";
    plain = windowPicture(running.window);
  });
  Run(Prepare(Disk{true}), [&](const RunningZentravo& running) {
    ASSERT_TRUE(Skinned(running.window));
    // The carried skin paints a gradient from #EEF4FC at the top to #B4CDEB.
    auto inSkin = [](COLORREF c) {
      return GetRValue(c) >= 0xB4 && GetRValue(c) <= 0xEE && GetGValue(c) >= 0xCD &&
             GetGValue(c) <= 0xF4 && GetBValue(c) >= 0xEB && GetBValue(c) <= 0xFC;
    };
    EXPECT_TRUE(WaitUntil([&] {
      std::optional<COLORREF> pixel = samplePixel(running.window);
      return pixel && inSkin(*pixel);
    })) << "the skinned window shows the skin's colours";
    skinned = windowPicture(running.window);
  });
  ASSERT_TRUE(plain && skinned);

  // Side by side on white, the unskinned window on the left.
  constexpr int kGap = 24;
  const int width = plain->width() + kGap + skinned->width() + 2 * kGap;
  const int height = std::max(plain->height(), skinned->height()) + 2 * kGap;
  std::vector<uint32_t> pixels(static_cast<std::size_t>(width) * height, 0xFFFFFF);
  auto paste = [&](const ScreenImage& image, int left) {
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        COLORREF c = image.PixelAt(x, y);
        pixels[static_cast<std::size_t>(y + kGap) * width + left + x] =
            (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
      }
    }
  };
  paste(*plain, kGap);
  paste(*skinned, kGap + plain->width() + kGap);
  EXPECT_TRUE(ScreenImage(width, height, std::move(pixels))
                  .SaveBmp(JoinPath(ArtifactDirectory(), "skin-unskinned-and-skinned.bmp")));
}

}  // namespace
}  // namespace zentravo::e2e
