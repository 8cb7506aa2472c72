#pragma once

// The character walk written the plainest way: one character at a time from where
// the walk begins, every character start tried, nothing skipped or searched ahead.
// It is slow on purpose and serves as the reference that the text library's fast
// paths are held against.
//
// The rules it follows: a byte 0x80..0xFF and the byte after it are one character,
// every other byte is one; a lead byte that is the last byte ends the walk. Matches
// begin only at character starts. Ignoring case folds the bytes 'A'..'Z' wherever
// they stand. Space characters are 0x20 and 0xA1 0xA1.
//
// Each function takes and returns plain bytes and mirrors the operation of the same
// name in text/text.h, with the same defaults for its optional arguments.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentravo::plain_walk {

int FindText(std::string_view text, std::string_view find, std::optional<int> start,
             bool ignoreCase);
int FindTextReverse(std::string_view text, std::string_view find, bool ignoreCase);
std::string ReplaceSubtext(std::string_view text, std::string_view find,
                           std::optional<std::string_view> replacement, std::optional<int> start,
                           std::optional<int> count, bool caseSensitive);
std::vector<std::string> SplitText(std::string_view text, std::string_view delimiter,
                                   std::optional<int> maxCount);
std::string ToLowerCase(std::string_view text);
std::string TrimBothEnds(std::string_view text);
std::string RemoveAllSpaces(std::string_view text);

}  // namespace zentravo::plain_walk
