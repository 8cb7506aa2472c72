#include "web/cookies.h"

namespace zentravo {

Text MergeCookies(Text& oldCookies, Text& newCookies) {
  oldCookies = RemoveAllSpaces(oldCookies);
  newCookies = RemoveAllSpaces(newCookies);
  const TextArray oldItems = SplitText(oldCookies, ";");
  TextArray items = SplitText(newCookies, ";");

  // Checked against the growing list, so one old name is carried over only once.
  for (const Text& item : oldItems.members()) {
    if (!CookieListContains(items, CookieName(item))) AppendMember(items, item);
  }

  std::string merged;
  for (const Text& item : items.members()) {
    if (CompareText(TextRight(item, 8), "=deleted") == 0) continue;
    merged += item.str();
    merged += "; ";
  }
  const int length = static_cast<int>(merged.size());
  oldCookies = TextLeft(Text(std::move(merged)), length - 2);  // drops the final "; "
  return oldCookies;
}

Text CookieName(const Text& cookieItem) {
  const int equals = FindText(cookieItem, "=");
  return TrimBothEnds(equals == -1 ? cookieItem : TextLeft(cookieItem, equals - 1));
}

bool CookieListContains(const TextArray& items, const Text& wantedName) {
  for (const Text& item : items.members()) {
    if (CompareText(CookieName(item), wantedName) == 0) return true;
  }
  return false;
}

}  // namespace zentravo
