// SetClipboardText on the real clipboard: what it places, and that a clipboard it
// cannot have, or a block it could not make, leaves the user's clipboard alone.

#include "app/clipboard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "runtime/scoped_win.h"

namespace zentravo {
namespace {

// The CF_TEXT bytes on the clipboard; nullopt when it holds no text.
std::optional<std::string> ClipboardText() {
  ScopedClipboard clipboard(nullptr);
  if (!clipboard.IsOpen()) return std::nullopt;
  HANDLE data = GetClipboardData(CF_TEXT);
  if (data == nullptr) return std::nullopt;
  ScopedGlobalLock bytes(data);
  if (bytes.Get() == nullptr) return std::nullopt;
  const char* text = static_cast<const char*>(bytes.Get());
  return std::string(text, strnlen(text, GlobalSize(data)));
}

// Holds the clipboard open for a window of another thread, as another program
// would, until destroyed.
class ClipboardHeldElsewhere {
 public:
  ClipboardHeldElsewhere() : opened_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
                             release_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    holder_ = std::thread([this] {
      ScopedWindow window(CreateWindowExA(0, "STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          GetModuleHandleA(nullptr), nullptr));
      ScopedClipboard clipboard(window.Get());
      holding_ = clipboard.IsOpen();
      SetEvent(opened_.Get());
      WaitForSingleObject(release_.Get(), INFINITE);
    });
    WaitForSingleObject(opened_.Get(), INFINITE);
  }
  ~ClipboardHeldElsewhere() {
    SetEvent(release_.Get());
    holder_.join();
  }
  bool holding() const { return holding_; }

 private:
  ScopedKernelHandle opened_;
  ScopedKernelHandle release_;
  bool holding_ = false;
  std::thread holder_;
};

const std::string kUsersText = "what the user copied";

TEST(SetClipboardText, PlacesTheTextAsCfText) {
  const std::string texts[] = {"", "2634877355", "\xD6\xD0\xCE\xC4", std::string(5000, 'x')};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 20));
    ASSERT_TRUE(SetClipboardText(kUsersText));
    EXPECT_TRUE(SetClipboardText(text));
    EXPECT_EQ(ClipboardText(), text);
  }
}

TEST(SetClipboardText, MakesAZeroTerminatedMovableBlock) {
  ScopedGlobalMemory block = MakeClipboardTextBlock("abc");
  ASSERT_TRUE(block);
  EXPECT_GE(GlobalSize(block.Get()), 4u);
  ScopedGlobalLock bytes(block.Get());
  ASSERT_NE(bytes.Get(), nullptr);
  EXPECT_EQ(std::memcmp(bytes.Get(), "abc", 4), 0);
  EXPECT_NE(bytes.Get(), static_cast<void*>(block.Get())) << "a movable block is a handle, not its bytes";
}

TEST(SetClipboardText, FailsAndKeepsTheClipboardWhenAnotherWindowHoldsIt) {
  ASSERT_TRUE(SetClipboardText(kUsersText));
  {
    ClipboardHeldElsewhere held;
    ASSERT_TRUE(held.holding());
    EXPECT_FALSE(SetClipboardText("2634877355"));
  }
  EXPECT_EQ(ClipboardText(), kUsersText);
}

TEST(SetClipboardText, WithoutABlockFailsBeforeTouchingTheClipboard) {
  // What a failed allocation leaves: no block. The clipboard must not have been emptied.
  ASSERT_TRUE(SetClipboardText(kUsersText));
  EXPECT_FALSE(PutTextBlockOnClipboard(ScopedGlobalMemory()));
  EXPECT_EQ(ClipboardText(), kUsersText);
}

}  // namespace
}  // namespace zentravo
