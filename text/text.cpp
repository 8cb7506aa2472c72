#include "text/text.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
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

// Advances a character walk from the character start `walk` over ASCII bytes only,
// up to `target` or the first byte 0x80..0xFF. Runs of ASCII bytes are skipped a
// word or four at a time.
Size SkipAscii(std::string_view s, Size walk, Size target) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  while (target - walk >= 32) {
    std::uint64_t words[4];
    std::memcpy(words, s.data() + walk, sizeof words);
    if (((words[0] | words[1] | words[2] | words[3]) & kHighBits) != 0) break;
    walk += 32;
  }
  while (target - walk >= 8) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + walk, 8);
    if ((word & kHighBits) != 0) break;
    walk += 8;
  }
  while (walk < target && !IsLeadByte(s[walk])) ++walk;
  return walk;
}

// Advances a character walk from the character start `walk` to the first
// character start at or after `target`. ASCII runs are skipped a word at a time.
// A run of high bytes that begins on a character start is a row of two-byte
// characters, so within it the character starts lie an even distance from the
// run's start: a target inside the run is one exactly when that distance is even,
// else the next byte is. An odd run's last lead byte takes the byte after it.
Size WalkTo(std::string_view s, Size walk, Size target) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  while (walk < target) {
    walk = SkipAscii(s, walk, target);
    if (walk >= target) break;
    // Look for the run's end no further than the target.
    Size runEnd = walk;
    while (target - runEnd >= 8) {
      std::uint64_t word;
      std::memcpy(&word, s.data() + runEnd, 8);
      const std::uint64_t asciiBytes = ~word & kHighBits;
      if (asciiBytes != 0) {
        runEnd += static_cast<Size>(std::countr_zero(asciiBytes) / 8);  // little-endian
        break;
      }
      runEnd += 8;
    }
    while (runEnd < target && IsLeadByte(s[runEnd])) ++runEnd;
    // Either the run reaches the target, or it ends before it at an ASCII byte;
    // both are passed the same way: pairs from the run's start.
    walk = runEnd + ((runEnd - walk) % 2);
  }
  return walk;
}

// Calls `visit(position)` for every character start in s[from, end) from which
// `find` matches, first to last; stops early when `visit` returns false. The walk
// begins at `from`. Candidate positions come from a plain byte search, then the
// walk confirms that each one is a character start.
template <typename Visit>
void ForEachMatch(std::string_view s, Size from, std::string_view find, bool ignoreCase,
                  Visit visit) {
  if (find.empty() || from >= s.size() || s.size() - from < find.size()) return;
  const Size lastStart = s.size() - find.size();
  Size walk = from;
  if (!ignoreCase) {
    // The byte search runs a window at a time, so the walk can go over bytes the
    // search has just brought into the cache instead of reading a long text from
    // memory a second time.
    constexpr Size kWindow = 64 * 1024;
    Size candidate = from;
    while (candidate <= lastStart) {
      const Size windowEnd = std::min(lastStart + 1, candidate + kWindow);
      const Size found = s.substr(0, windowEnd + find.size() - 1).find(find, candidate);
      if (found == std::string_view::npos) {
        // Keep the walk up with the search while the window is in the cache: a
        // match further on would otherwise have it read all of this from memory.
        walk = WalkTo(s, walk, windowEnd);
        candidate = windowEnd;
        continue;
      }
      candidate = found;
      walk = WalkTo(s, walk, candidate);
      if (walk == candidate) {
        if (!visit(candidate)) return;
        candidate = walk + 1;
      } else {
        candidate = walk;  // the match began inside a two-byte character
      }
    }
    return;
  }
  for (; walk <= lastStart; walk += CharWidth(s, walk)) {
    if (BytesMatchAt(s, walk, find, true) && !visit(walk)) return;
  }
}

// Whether walking `bytes` on their own ends exactly at their end, that is, whether
// they do not end in a lead byte whose second byte would lie beyond them.
bool WalksCleanly(std::string_view bytes) {
  Size at = 0;
  while (at < bytes.size()) at += CharWidth(bytes, at);
  return at == bytes.size();
}

// Calls `visit(position)` for the matches of `find` that a walk from `from` meets
// when, after each match, it resumes right after the matched bytes (as replacing
// and splitting do); matches never overlap. Stops early when `visit` returns false.
template <typename Visit>
void ForEachMatchResumingAfter(std::string_view s, Size from, std::string_view find,
                               bool ignoreCase, Visit visit) {
  if (WalksCleanly(find)) {
    // Resuming after a match lands on a character start of the one walk anyway,
    // so a single walk serves; it only skips matches that overlap the last one.
    Size resume = from;
    ForEachMatch(s, from, find, ignoreCase, [&](Size at) {
      if (at < resume) return true;
      resume = at + find.size();
      return visit(at);
    });
    return;
  }
  // The match ends inside a character; the walk starts afresh after it.
  for (Size resume = from;;) {
    Size match = std::string_view::npos;
    ForEachMatch(s, resume, find, ignoreCase, [&](Size at) {
      match = at;
      return false;
    });
    if (match == std::string_view::npos || !visit(match)) return;
    resume = match + find.size();
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
    return false;
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
    return true;
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

  ForEachMatchResumingAfter(s, from, f, !caseSensitive, [&](Size match) {
    out.append(s, copiedUpTo, match - copiedUpTo);
    out.append(with);
    copiedUpTo = match + f.size();
    if (remaining > 0) --remaining;
    return remaining != 0;
  });
  // The walk copies what is left character by character. A lead byte ending the
  // text is met as a character of its own only when the walk reaches it while
  // still comparing, which needs at least find.size() bytes left: a one-byte find.
  // Copying it as a two-byte character then drops it.
  Size copyEnd = s.size();
  if (remaining != 0 && f.size() == 1 && IsLeadByte(s.back()) &&
      WalkTo(s, copiedUpTo, s.size() - 1) == s.size() - 1) {
    copyEnd = s.size() - 1;
  }
  out.append(s, copiedUpTo, copyEnd - copiedUpTo);
  return Text(std::move(out));
}

TextArray SplitText(const Text& text, const Text& delimiter, std::optional<int> maxCount) {
  TextArray result;
  std::vector<Text>& members = result.members_;
  const std::string& s = text.str();
  const Size limit = !maxCount ? static_cast<Size>(-1) : static_cast<Size>(std::max(*maxCount, 0));
  if (s.empty() || limit == 0) return result;
  if (delimiter.empty()) {
    members.push_back(text);
    return result;
  }
  const std::string_view d = delimiter.str();
  // Counting first keeps the member array from being moved around as it grows. The
  // count is only a size hint: for a one-byte delimiter a plain count of that
  // byte, otherwise the matches a search finds, overlapping ones included.
  Size matches = 0;
  if (d.size() == 1) {
    matches = static_cast<Size>(std::count(s.begin(), s.end(), d.front()));
  } else {
    ForEachMatch(s, 0, d, false, [&](Size) { return ++matches < limit; });
  }
  members.reserve(std::min(matches + 1, limit));

  Size memberStart = 0;
  bool full = false;
  ForEachMatchResumingAfter(s, 0, d, false, [&](Size match) {
    members.push_back(FromRange(s, memberStart, match));
    memberStart = match + d.size();
    full = members.size() >= limit;
    return !full;
  });
  if (!full && memberStart < s.size()) members.push_back(FromRange(s, memberStart, s.size()));
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
