#pragma once

// Merging the cookies a response sets into the cookie string a caller keeps and
// sends with its next request.
//
// A cookie string is a list of items separated by ";"; spaces anywhere in it carry
// no meaning and are removed first. An item is normally name=value; its name is
// the text before the first "=" (the whole item when there is none), compared
// byte for byte with letter case. An item ending in "=deleted" (letter case kept)
// marks a deleted cookie. No state.

#include "text/text.h"

namespace zentravo {

// Replaces `newCookies` by itself without spaces and `oldCookies` by the merged
// string, which it also returns: the new items in their order, then the old items
// whose name no new item has (of several old items with one name only the first),
// every deleted item left out, joined by "; ". New items are never compared with
// each other, so two new items with one name both stay.
Text MergeCookies(Text& oldCookies, Text& newCookies);

// The text before the first "=" of `cookieItem` (all of it when there is none),
// trimmed of spaces.
Text CookieName(const Text& cookieItem);

// Whether some member of `items` has the name `wantedName` (byte for byte).
bool CookieListContains(const TextArray& items, const Text& wantedName);

}  // namespace zentravo
