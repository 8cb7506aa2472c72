#include "app/edit_text.h"

#include <string>
#include <utility>

namespace zentravo {

Text ReadEditText(HWND edit) {
  if (edit == nullptr || !IsWindow(edit)) return Text();
  // The length may count more bytes than the copy delivers (the count is an upper
  // bound when code pages mix), so the copy's own count decides.
  int length = GetWindowTextLengthA(edit);
  if (length <= 0) return Text();
  std::string buffer(static_cast<size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(edit, buffer.data(), length + 1);
  buffer.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return Text(std::move(buffer));
}

void ReplaceEditText(HWND edit, const Text& text) {
  if (edit == nullptr) return;
  SetWindowTextA(edit, text.c_str());
}

}  // namespace zentravo
