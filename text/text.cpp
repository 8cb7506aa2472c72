#include "text/text.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "runtime/fatal_error.h"

namespace zentravo {
namespace {

using Size = std::string::size_type;

bool IsLeadByte(char byte) { return (static_cast<unsigned char>(byte) & 0x80) != 0; }

// Width of the character that starts at `at`; a lead byte at the end still counts
// as two, which carries the walk past the end and so ends it.
Size CharWidth(std::string_view s, Size at) { return IsLeadByte(s[at]) ? 2 : 1; }

char FoldAsciiCase(char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte + ('a' - 'A')) : byte;
}

bool BytesMatchAt(std::string_view s, Size at, std::string_view find, bool ignoreCase) {
  if (!ignoreCase) return std::memcmp(s.data() + at, find.data(), find.size()) == 0;
  for (Size i = 0; i < find.size(); ++i) {
    if (FoldAsciiCase(s[at + i]) != FoldAsciiCase(find[i])) return false;
  }
  return true;
}

// Whether `at` is a character start of a walk that passed the character start
// `known` (known <= at). Every ASCII byte ends a character, as a character of its
// own or as the second byte of a two-byte one, so the byte after the last ASCII
// byte before `at` starts a character; from there (or from `known`) up to `at` all
// bytes are 0x80..0xFF, two-byte characters in a row, and `at` starts one exactly
// when it lies an even distance from the row's start. Reads only s[known, at), so
// a walk that moves `known` up after each question stays linear.
bool IsCharStartAfter(std::string_view s, Size known, Size at) {
  if (at == known || !IsLeadByte(s[at - 1])) return true;  // the common case, at once
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  Size rowStart = at;
  while (rowStart - known >= 8) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + rowStart - 8, 8);
    const std::uint64_t asciiBytes = ~word & kHighBits;
    if (asciiBytes != 0) {
      // The highest-addressed ASCII byte of the word (little-endian).
      rowStart = rowStart - 8 + static_cast<Size>(7 - std::countl_zero(asciiBytes) / 8) + 1;
      return (at - rowStart) % 2 == 0;
    }
    rowStart -= 8;
  }
  while (rowStart > known && IsLeadByte(s[rowStart - 1])) --rowStart;
  return (at - rowStart) % 2 == 0;
}

// The next position at or after `from`, and before `end`, of `byte`; `end` if none.
Size NextByte(std::string_view s, Size from, Size end, char byte) {
  if (from >= end) return end;
  const void* hit = std::memchr(s.data() + from, byte, end - from);
  return hit == nullptr ? end : static_cast<Size>(static_cast<const char*>(hit) - s.data());
}

bool IsAsciiLetter(char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// How seldom a byte is likely to turn up in the texts the program handles (headers,
// URLs, cookies, Chinese text), higher being rarer. A letter counts as common: a
// search for it has to look for both cases.
int Rarity(char byte) {
  if (byte == ' ') return 0;
  if (IsAsciiLetter(byte)) return 1;
  if (IsLeadByte(byte)) return 3;
  if ((byte >= '0' && byte <= '9') || std::strchr(";=,.:/&?\t\r\n", byte) != nullptr) return 2;
  return 4;
}

// Finds the candidates of a search that ignores case by one byte of the text to
// find, the rarest by Rarity: memchr for it (for both cases of a letter) and a
// comparison at each hit, instead of a comparison at every character.
class FoldedAnchorSearch {
 public:
  FoldedAnchorSearch(std::string_view s, std::string_view find) : s_(s), find_(find) {
    for (Size i = 1; i < find.size(); ++i) {
      if (Rarity(find[i]) > Rarity(find[offset_])) offset_ = i;
    }
    const char anchor = find[offset_];
    lower_ = FoldAsciiCase(anchor);
    upper_ = (lower_ >= 'a' && lower_ <= 'z') ? static_cast<char>(lower_ - ('a' - 'A')) : lower_;
  }

  // The first position in [from, lastStart] where `find` matches with case
  // ignored, or npos.
  Size Next(Size from, Size lastStart) {
    const Size end = lastStart + offset_ + 1;  // anchors beyond this start too late
    for (Size at = from + offset_; at < end;) {
      if (nextLower_ < at || nextLower_ == kUnknown) nextLower_ = NextByte(s_, at, end, lower_);
      Size hit = nextLower_;
      if (upper_ != lower_) {
        if (nextUpper_ < at || nextUpper_ == kUnknown) nextUpper_ = NextByte(s_, at, end, upper_);
        hit = std::min(hit, nextUpper_);
      }
      if (hit >= end) return std::string_view::npos;
      if (BytesMatchAt(s_, hit - offset_, find_, true)) return hit - offset_;
      at = hit + 1;
    }
    return std::string_view::npos;
  }

 private:
  static constexpr Size kUnknown = std::string_view::npos;
  std::string_view s_;
  std::string_view find_;
  Size offset_ = 0;  // of the anchor byte in `find`
  char lower_;
  char upper_;
  Size nextLower_ = kUnknown;  // next hit of each case, kept between calls
  Size nextUpper_ = kUnknown;
};

// Returned by the `visit` of ForEachMatch to end the walk.
constexpr Size kStopWalk = std::string_view::npos;

// Walks s from `from` and calls `visit(position)` at each character start from
// which `find` matches. `visit` returns where the walk goes on: a position after
// the match that the walk takes as a character start (the next character start,
// or the end of the matched bytes to resume after them), or kStopWalk.
// Candidates come from a byte search; each is then checked to be a character
// start by looking back only as far as the last one known.
template <typename Visit>
void ForEachMatch(std::string_view s, Size from, std::string_view find, bool ignoreCase,
                  Visit visit) {
  if (find.empty() || from >= s.size() || s.size() - from < find.size()) return;
  const Size lastStart = s.size() - find.size();
  std::optional<FoldedAnchorSearch> folded;
  if (ignoreCase) folded.emplace(s, find);
  Size known = from;  // a character start of the walk, at or before every candidate
  for (Size candidate = from; candidate <= lastStart;) {
    const Size found = folded             ? folded->Next(candidate, lastStart)
                       : find.size() == 1 ? s.find(find.front(), candidate)
                                          : s.find(find, candidate);
    if (found == std::string_view::npos) return;
    if (IsCharStartAfter(s, known, found)) {
      known = visit(found);
      if (known == kStopWalk) return;
    } else {
      known = found + 1;  // `found` is the second byte of a character
    }
    candidate = known;
  }
}

bool IsSpaceAt(std::string_view s, Size at) {
  if (s[at] == ' ') return true;
  return s[at] == '\xA1' && at + 1 < s.size() && s[at + 1] == '\xA1';
}

Text FromRange(std::string_view s, Size from, Size to) {
  return Text(std::string(s.substr(from, to - from)));
}

}  // namespace

// ---- Text ----

Text::Text(const char* bytes) : bytes_(bytes == nullptr ? "" : bytes) {}

Text::Text(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\0'))) {}

Text::Text(const std::string& bytes) : Text(std::string_view(bytes)) {}

Text::Text(std::string&& bytes) : bytes_(std::move(bytes)) {
  Size zero = bytes_.find('\0');
  if (zero != std::string::npos) bytes_.resize(zero);
}

// ---- Text arrays ----

int ArrayCount(const TextArray& array) { return static_cast<int>(array.members().size()); }

Text ArrayMember(const TextArray& array, int index) {
  const int count = ArrayCount(array);
  if (index < 1) {
    FatalRuntimeError("数组成员索引 " + std::to_string(index) + " 小于下限 1。");
  }
  if (index > count) {
    FatalRuntimeError("数组成员索引 " + std::to_string(index) + " 超过上限 " +
                      std::to_string(count) + "（数组的成员数）。");
  }
  return array.members()[static_cast<Size>(index - 1)];
}

void AppendMember(TextArray& array, const Text& text) { array.members_.push_back(text); }

// ---- Cutting and building ----

int TextLength(const Text& text) { return static_cast<int>(text.str().size()); }

Text TextLeft(const Text& text, int count) {
  if (count <= 0) return Text();
  return Text(text.str().substr(0, static_cast<Size>(count)));
}

Text TextRight(const Text& text, int count) {
  const std::string& s = text.str();
  if (count <= 0) return Text();
  if (static_cast<Size>(count) >= s.size()) return text;
  return Text(s.substr(s.size() - static_cast<Size>(count)));
}

Text TextMid(const Text& text, int start, int count) {
  const std::string& s = text.str();
  if (start < 1 || static_cast<Size>(start) > s.size() || count <= 0) return Text();
  return Text(s.substr(static_cast<Size>(start - 1), static_cast<Size>(count)));
}

int CompareText(const Text& a, const Text& b) {
  const int order = a.str().compare(b.str());  // char_traits<char> compares bytes as unsigned
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// ---- Searching ----

int FindText(const Text& text, const Text& find, std::optional<int> start, bool ignoreCase) {
  const std::string& s = text.str();
  const Size from = (!start || *start < 1) ? 0 : static_cast<Size>(*start - 1);
  if (from >= s.size()) return -1;
  if (find.empty()) return 1;
  int found = -1;
  ForEachMatch(s, from, find.str(), ignoreCase, [&](Size at) {
    found = static_cast<int>(at) + 1;
    return kStopWalk;
  });
  return found;
}

int FindTextReverse(const Text& text, const Text& find, bool ignoreCase) {
  const std::string& s = text.str();
  if (s.empty()) return -1;
  if (find.empty()) return 1;
  int found = -1;
  ForEachMatch(s, 0, find.str(), ignoreCase, [&](Size at) {
    found = static_cast<int>(at) + 1;
    return at + CharWidth(s, at);  // matches may overlap
  });
  return found;
}

// ---- Replacing and splitting ----

Text ReplaceSubtext(const Text& text, const Text& find, std::optional<Text> replacement,
                    std::optional<int> start, std::optional<int> count, bool caseSensitive) {
  const std::string& s = text.str();
  const std::string_view f = find.str();
  const Size from = (!start || *start < 1) ? 0 : static_cast<Size>(*start - 1);
  if (s.empty() || f.empty() || from >= s.size() || (count && *count == 0)) return text;
  const std::string_view with = replacement ? std::string_view(replacement->str()) : "";
  long long remaining = count ? *count : -1;  // negative: no limit

  std::string out;
  out.reserve(s.size());
  out.append(s, 0, from);
  Size copiedUpTo = from;  // bytes before this are already in `out`

  ForEachMatch(s, from, f, !caseSensitive, [&](Size match) {
    out.append(s, copiedUpTo, match - copiedUpTo);
    out.append(with);
    copiedUpTo = match + f.size();
    if (remaining > 0) --remaining;
    return remaining != 0 ? copiedUpTo : kStopWalk;
  });
  // The walk copies what is left character by character. A lead byte ending the
  // text is met as a character of its own only when the walk reaches it while
  // still comparing, which needs at least find.size() bytes left: a one-byte find.
  // Copying it as a two-byte character then drops it.
  Size copyEnd = s.size();
  if (remaining != 0 && f.size() == 1 && IsLeadByte(s.back()) && copiedUpTo < s.size() &&
      IsCharStartAfter(s, copiedUpTo, s.size() - 1)) {
    copyEnd = s.size() - 1;
  }
  out.append(s, copiedUpTo, copyEnd - copiedUpTo);
  return Text(std::move(out));
}

TextArray SplitText(const Text& text, const Text& delimiter, std::optional<int> maxCount) {
  TextArray result;
  std::vector<Text>& members = result.members_;
  const std::string_view s = text.str();
  const Size limit = !maxCount ? static_cast<Size>(-1) : static_cast<Size>(std::max(*maxCount, 0));
  if (s.empty() || limit == 0) return result;
  if (delimiter.empty()) {
    members.push_back(text);
    return result;
  }
  const std::string_view d = delimiter.str();
  // Counting first keeps the member array from being moved around as it grows. For
  // a one-byte delimiter a plain count of that byte serves as the size hint.
  Size matches = 0;
  if (d.size() == 1) {
    matches = static_cast<Size>(std::count(s.begin(), s.end(), d.front()));
  } else {
    ForEachMatch(s, 0, d, false, [&](Size at) {
      return ++matches < limit ? at + d.size() : kStopWalk;
    });
  }
  members.reserve(std::min(matches + 1, limit));

  Size memberStart = 0;
  bool full = false;
  // Members are filled in place; a slice of a text needs no search for a zero byte.
  auto addMember = [&members, s](Size from, Size to) {
    members.emplace_back().bytes_.assign(s.data() + from, to - from);
  };
  ForEachMatch(s, 0, d, false, [&](Size match) {
    addMember(memberStart, match);
    memberStart = match + d.size();
    full = members.size() >= limit;
    return full ? kStopWalk : memberStart;
  });
  if (!full && memberStart < s.size()) addMember(memberStart, s.size());
  return result;
}

// ---- Changing ----

Text ToLowerCase(const Text& text) {
  std::string out = text.str();
  for (Size at = 0; at < out.size(); at += CharWidth(out, at)) {
    out[at] = FoldAsciiCase(out[at]);
  }
  return Text(std::move(out));
}

Text TrimBothEnds(const Text& text) {
  const std::string& s = text.str();
  Size at = 0;
  while (at < s.size() && IsSpaceAt(s, at)) at += CharWidth(s, at);
  const Size begin = at;
  Size end = begin;  // end of the last character that is not a space
  for (; at < s.size(); at += CharWidth(s, at)) {
    if (IsLeadByte(s[at]) && at + 1 == s.size()) {
      end = at;  // a lone lead byte ends the walk; the spaces before it stay
      break;
    }
    if (!IsSpaceAt(s, at)) end = at + CharWidth(s, at);
  }
  if (begin >= s.size()) return Text();
  return FromRange(s, begin, std::max(begin, end));
}

Text RemoveAllSpaces(const Text& text) {
  const std::string& s = text.str();
  std::string out;
  out.reserve(s.size());
  for (Size at = 0; at < s.size(); at += CharWidth(s, at)) {
    const Size width = CharWidth(s, at);
    if (at + width > s.size()) break;  // a lone lead byte at the end is left out
    if (!IsSpaceAt(s, at)) out.append(s, at, width);
  }
  return Text(std::move(out));
}

int ToInteger(const Text& text) {
  const std::string& s = text.str();
  std::string folded;
  folded.reserve(s.size());
  for (Size at = 0; at < s.size(); at += CharWidth(s, at)) {
    const unsigned char lead = static_cast<unsigned char>(s[at]);
    if (lead < 0x80 || at + 1 >= s.size()) {
      folded += s[at];
      continue;
    }
    const unsigned char trail = static_cast<unsigned char>(s[at + 1]);
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      folded += static_cast<char>(trail - 0x80);
    } else if (lead == 0xA1 && trail == 0xA1) {
      folded += ' ';
    } else if (lead == 0xA1 && trail == 0xAB) {
      folded += '~';
    } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
      folded += '*';
    } else {
      folded.append(s, at, 2);
    }
  }
  Size at = 0;
  while (at < folded.size() && (folded[at] == ' ' || (folded[at] >= '\t' && folded[at] <= '\r'))) {
    ++at;
  }
  bool negative = false;
  if (at < folded.size() && (folded[at] == '+' || folded[at] == '-')) {
    negative = folded[at] == '-';
    ++at;
  }
  std::uint32_t value = 0;  // unsigned, so overflow wraps around as defined
  for (; at < folded.size() && folded[at] >= '0' && folded[at] <= '9'; ++at) {
    value = value * 10u + static_cast<std::uint32_t>(folded[at] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

Text CharFromCode(int code) { return Text(std::string(1, static_cast<char>(code & 0xFF))); }

Text BlankText(int count) {
  return count <= 0 ? Text() : Text(std::string(static_cast<Size>(count), ' '));
}

// ---- Byte strings ----

Bytes TextToBytes(const Text& text) { return Bytes(text.str()); }

Text BytesToText(const Bytes& bytes) { return Text(std::string_view(bytes.str())); }

int BytesLength(const Bytes& bytes) { return static_cast<int>(bytes.str().size()); }

Bytes BytesLeft(const Bytes& bytes, int count) {
  if (count <= 0) return Bytes();
  return Bytes(std::string_view(bytes.str()).substr(0, static_cast<Size>(count)));
}

Bytes BlankBytes(int count) {
  return count <= 0 ? Bytes() : Bytes(std::string(static_cast<Size>(count), '\0'));
}

bool CompareBytes(const Bytes& a, const Bytes& b) {
  if (a.str().size() != b.str().size()) return false;
  return a.str().empty() || std::memcmp(a.data(), b.data(), a.str().size()) == 0;
}

int BitOr(int a, int b) {
  return static_cast<int>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}

}  // namespace zentravo
