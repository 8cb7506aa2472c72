#include "tests/support/text_reference.h"

#include <cstddef>

namespace zentravo::plain_walk {
namespace {

using Size = std::size_t;

bool IsHigh(char byte) { return static_cast<unsigned char>(byte) >= 0x80; }

Size CharWidth(std::string_view s, Size at) { return IsHigh(s[at]) ? 2 : 1; }

// The character at `at`; a lead byte ending the text is cut short to itself.
std::string_view CharAt(std::string_view s, Size at) { return s.substr(at, CharWidth(s, at)); }

bool IsLoneLeadAt(std::string_view s, Size at) { return IsHigh(s[at]) && at + 1 == s.size(); }

bool IsSpace(std::string_view character) {
  return character == " " || character == "\xA1\xA1";
}

char Fold(char byte) { return (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte + 32) : byte; }

bool MatchesAt(std::string_view s, Size at, std::string_view find, bool ignoreCase) {
  if (s.size() - at < find.size()) return false;
  for (Size i = 0; i < find.size(); ++i) {
    const char a = s[at + i];
    const char b = find[i];
    if (ignoreCase ? Fold(a) != Fold(b) : a != b) return false;
  }
  return true;
}

Size StartIndex(std::optional<int> start) {
  return (!start || *start < 1) ? 0 : static_cast<Size>(*start - 1);
}

}  // namespace

int FindText(std::string_view text, std::string_view find, std::optional<int> start,
             bool ignoreCase) {
  const Size from = StartIndex(start);
  if (from >= text.size()) return -1;
  if (find.empty()) return 1;
  for (Size at = from; at < text.size(); at += CharWidth(text, at)) {
    if (MatchesAt(text, at, find, ignoreCase)) return static_cast<int>(at) + 1;
  }
  return -1;
}

int FindTextReverse(std::string_view text, std::string_view find, bool ignoreCase) {
  if (text.empty()) return -1;
  if (find.empty()) return 1;
  int last = -1;
  for (Size at = 0; at < text.size(); at += CharWidth(text, at)) {
    if (MatchesAt(text, at, find, ignoreCase)) last = static_cast<int>(at) + 1;
  }
  return last;
}

std::string ReplaceSubtext(std::string_view text, std::string_view find,
                           std::optional<std::string_view> replacement, std::optional<int> start,
                           std::optional<int> count, bool caseSensitive) {
  const Size from = StartIndex(start);
  if (text.empty() || find.empty() || from >= text.size() || (count && *count == 0)) {
    return std::string(text);
  }
  const std::string_view with = replacement.value_or("");
  std::optional<long long> left;
  if (count) left = *count;

  std::string out(text.substr(0, from));
  Size at = from;
  while (at < text.size()) {
    if (text.size() - at < find.size()) {
      out += text.substr(at);
      break;
    }
    if (MatchesAt(text, at, find, !caseSensitive)) {
      out += with;
      at += find.size();
      if (left && --*left == 0) {
        out += text.substr(at);
        break;
      }
      continue;
    }
    // Copying the character: a lead byte ending the text has no second byte, and
    // the walk ends on it without copying it.
    if (IsLoneLeadAt(text, at)) break;
    out += CharAt(text, at);
    at += CharWidth(text, at);
  }
  return out;
}

std::vector<std::string> SplitText(std::string_view text, std::string_view delimiter,
                                   std::optional<int> maxCount) {
  std::vector<std::string> members;
  if (text.empty() || (maxCount && *maxCount <= 0)) return members;
  if (delimiter.empty()) return {std::string(text)};
  Size memberStart = 0;
  Size at = 0;
  while (at < text.size()) {
    if (MatchesAt(text, at, delimiter, false)) {
      members.emplace_back(text.substr(memberStart, at - memberStart));
      at += delimiter.size();
      memberStart = at;
      if (maxCount && members.size() >= static_cast<Size>(*maxCount)) return members;
      continue;
    }
    at += CharWidth(text, at);
  }
  if (memberStart < text.size()) members.emplace_back(text.substr(memberStart));
  return members;
}

std::string ToLowerCase(std::string_view text) {
  std::string out;
  for (Size at = 0; at < text.size(); at += CharWidth(text, at)) {
    const std::string_view character = CharAt(text, at);
    if (character.size() == 1 && !IsHigh(character[0])) {
      out += Fold(character[0]);
    } else {
      out += character;
    }
  }
  return out;
}

std::string TrimBothEnds(std::string_view text) {
  std::vector<std::string_view> characters;
  bool endsInLoneLead = false;
  for (Size at = 0; at < text.size(); at += CharWidth(text, at)) {
    if (IsLoneLeadAt(text, at)) {
      endsInLoneLead = true;
      break;
    }
    characters.push_back(CharAt(text, at));
  }
  Size first = 0;
  while (first < characters.size() && IsSpace(characters[first])) ++first;
  // A lone lead byte ends the walk before the final run of spaces is seen, so that
  // run stays; the lead byte itself is left out.
  Size end = characters.size();
  if (!endsInLoneLead) {
    while (end > first && IsSpace(characters[end - 1])) --end;
  }
  std::string out;
  for (Size i = first; i < end; ++i) out += characters[i];
  return out;
}

std::string RemoveAllSpaces(std::string_view text) {
  std::string out;
  for (Size at = 0; at < text.size(); at += CharWidth(text, at)) {
    if (IsLoneLeadAt(text, at)) break;
    if (!IsSpace(CharAt(text, at))) out += CharAt(text, at);
  }
  return out;
}

}  // namespace zentravo::plain_walk
