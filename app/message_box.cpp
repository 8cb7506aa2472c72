#include "app/message_box.h"

namespace zentravo {

UINT MessageBoxStyle(UINT buttons) {
  // OR, not addition: a caller that already asks for MB_TASKMODAL keeps it, rather
  // than having the bit carried into MB_HELP.
  return (buttons & MB_SYSTEMMODAL) != 0 ? buttons : (buttons | MB_TASKMODAL);
}

int ShowMessageBox(const Text& message, UINT buttons, const std::optional<Text>& title,
                   std::optional<HWND> owner) {
  const Text caption = title.value_or(Text(kDefaultMessageBoxTitle));
  const int pressed =
      MessageBoxA(owner.value_or(nullptr), message.c_str(), caption.c_str(), MessageBoxStyle(buttons));
  // MessageBoxA answers IDOK (1) .. IDNO (7), or 0 when it fails.
  return pressed - 1;
}

}  // namespace zentravo
