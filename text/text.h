#pragma once

// Text, byte strings and text arrays, and the operations all other logic is written in.
//
// Text is a run of bytes in the ANSI code page (936, GBK, on the systems the program
// is made for) that never holds a zero byte; an absent text and an empty one are the
// same value. Positions are byte positions counted from 1; a search that finds
// nothing gives -1. Nothing here throws or fails, except ArrayMember outside the
// array, which is a fatal run-time error.
//
// The character walk. FindText, FindTextReverse, ReplaceSubtext, SplitText,
// ToLowerCase, TrimBothEnds and RemoveAllSpaces step through a text character by
// character: any byte 0x80..0xFF starts a two-byte character together with the byte
// after it (no code-page table is consulted), every other byte is a character of
// its own. Matches begin only at character starts, counted from where the walk
// began. A lead byte that is the last byte of the text ends the walk; what each
// operation does with it is said at the operation. TextLength, TextLeft,
// TextRight and TextMid count bytes and may cut a two-byte character in half.
//
// Letter case: only the ASCII letters have it. Ignoring case treats each byte
// 0x41..0x5A as equal to the byte 0x20 above it wherever it stands, even as the
// second byte of a two-byte character.
//
// Space characters: 0x20 and the full-width space 0xA1 0xA1. Tab, CR and LF are not.

#include <concepts>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentravo {

class TextArray;

class Text {
 public:
  Text() = default;
  // Each constructor keeps the bytes before the first zero byte; a null pointer is empty.
  Text(const char* bytes);                 // NOLINT(google-explicit-constructor)
  Text(std::string_view bytes);            // NOLINT(google-explicit-constructor)
  Text(const std::string& bytes);          // NOLINT(google-explicit-constructor)
  Text(std::string&& bytes);               // NOLINT(google-explicit-constructor)

  const std::string& str() const { return bytes_; }
  const char* c_str() const { return bytes_.c_str(); }
  bool empty() const { return bytes_.empty(); }

  bool operator==(const Text&) const = default;

 private:
  // Splitting cuts members out of a text, which holds no zero byte already, so it
  // fills them without the constructors' search for one.
  friend TextArray SplitText(const Text&, const Text&, std::optional<int>);
  std::string bytes_;
};

// A counted run of bytes; zero bytes are allowed.
class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string_view raw) : bytes_(raw) {}
  explicit Bytes(const char* raw) : Bytes(std::string_view(raw)) {}
  explicit Bytes(std::string&& raw) : bytes_(std::move(raw)) {}

  const std::string& str() const { return bytes_; }
  const char* data() const { return bytes_.data(); }
  bool empty() const { return bytes_.empty(); }

  bool operator==(const Bytes&) const = default;

 private:
  std::string bytes_;
};

// Texts numbered 1..count. A new array is empty; members may be empty texts.
class TextArray {
 public:
  TextArray() = default;
  TextArray(std::initializer_list<Text> members) : members_(members) {}

  const std::vector<Text>& members() const { return members_; }

  bool operator==(const TextArray&) const = default;

 private:
  friend void AppendMember(TextArray&, const Text&);
  friend TextArray SplitText(const Text&, const Text&, std::optional<int>);
  std::vector<Text> members_;
};

// ---- Text arrays ----

int ArrayCount(const TextArray& array);
// Member `index`, 1-based. An index below 1 or above the count is a fatal run-time
// error whose message says which limit was broken.
Text ArrayMember(const TextArray& array, int index);
// Adds a copy of `text` as the new last member.
void AppendMember(TextArray& array, const Text& text);

// ---- Cutting and building ----

// Number of bytes.
int TextLength(const Text& text);
// The first `count` bytes; count <= 0 gives "", count >= length the whole text.
Text TextLeft(const Text& text, int count);
// The last `count` bytes; count <= 0 gives "", count >= length the whole text.
Text TextRight(const Text& text, int count);
// `count` bytes from byte position `start`, or up to the end when fewer remain.
// Empty when start < 1 (it is not moved up to 1), start > length, or count <= 0.
Text TextMid(const Text& text, int start, int count);

namespace text_internal {
inline void AppendTo(std::string& out, const Text& text) { out += text.str(); }
}  // namespace text_internal

// The texts joined in order (two or more).
template <typename... More>
  requires(std::convertible_to<const More&, Text> && ...)
Text ConcatText(const Text& first, const Text& second, const More&... more) {
  std::string joined;
  joined.reserve(first.str().size() + second.str().size());
  joined += first.str();
  joined += second.str();
  (text_internal::AppendTo(joined, more), ...);
  return Text(std::move(joined));
}

// 0 when both hold the same bytes; otherwise negative or positive by the first
// differing byte taken as unsigned, a proper prefix being the smaller. Case matters.
int CompareText(const Text& a, const Text& b);

// ---- Searching ----

// First match of `find` in `text` from byte position `start` (omitted or below 1:
// from 1; beyond the length: nothing to search). The walk begins at `start`. An
// empty `find` gives 1 when the searched region holds a byte, else -1. The
// position is counted from the start of the whole text. A lead byte ending the
// text is still a candidate for a one-byte `find`.
int FindText(const Text& text, const Text& find, std::optional<int> start = std::nullopt,
             bool ignoreCase = false);
// Last match of `find` in the whole text; matches may overlap ('aa' in 'aaa' is 2).
int FindTextReverse(const Text& text, const Text& find, bool ignoreCase = false);

// ---- Replacing and splitting ----

// Replaces occurrences of `find` left to right, without overlap, from byte position
// `start` (omitted or below 1: 1), at most `count` times (omitted: no limit).
// Bytes before `start` are copied unchanged; an omitted replacement is "". The text
// comes back unchanged when it or `find` is empty, `start` is beyond it, or count is
// 0. Case is ignored unless `caseSensitive`. A lead byte ending the text is dropped
// when the walk reaches it as a character of its own (only possible for a one-byte
// `find`); with a longer `find` the last bytes are copied unchanged.
Text ReplaceSubtext(const Text& text, const Text& find,
                    std::optional<Text> replacement = std::nullopt,
                    std::optional<int> start = std::nullopt,
                    std::optional<int> count = std::nullopt, bool caseSensitive = false);

// Cuts `text` at every `delimiter` (case kept). A leading delimiter or two adjacent
// ones give empty members; a trailing delimiter adds none. An empty text gives no
// member; an empty delimiter gives the whole text as one member. After `maxCount`
// members (negative counts as 0) the rest is dropped. A lead byte ending the text
// stays in the last member.
TextArray SplitText(const Text& text, const Text& delimiter,
                    std::optional<int> maxCount = std::nullopt);

// ---- Changing ----

// 'A'..'Z' in one-byte characters become 'a'..'z'; two-byte characters (and a lead
// byte ending the text) are copied unchanged.
Text ToLowerCase(const Text& text);
// Removes the space characters at the start and the final run at the end. A lead
// byte ending the text is left out, and the spaces before it then stay.
Text TrimBothEnds(const Text& text);
// Removes every space character; a lead byte ending the text is left out.
Text RemoveAllSpaces(const Text& text);
// Folds full-width forms to half-width (0xA3 0xA1..0xFE to the second byte minus
// 0x80; 0xA1 0xA1 to ' '; 0xA1 0xAB to '~'; 0xA1 0xEE and 0xA1 0xEF to '*'), skips
// leading bytes 0x09..0x0D and 0x20, takes one optional sign and reads decimal
// digits up to the first other byte, in 32 bits with wrap-around. No digits: 0.
int ToInteger(const Text& text);
// The one-byte text of `code` (its low 8 bits); code 0 gives "".
Text CharFromCode(int code);
// `count` bytes 0x20; "" when count <= 0.
Text BlankText(int count);

// ---- Byte strings ----

// The text's bytes, no terminating zero.
Bytes TextToBytes(const Text& text);
// The bytes before the first zero byte; no code-page conversion.
Text BytesToText(const Bytes& bytes);
int BytesLength(const Bytes& bytes);
// The first `count` bytes; count < 0 counts as 0, count > length as the length.
Bytes BytesLeft(const Bytes& bytes, int count);
// `count` zero bytes; empty when count <= 0.
Bytes BlankBytes(int count);

namespace text_internal {
inline void AppendTo(std::string& out, const Bytes& bytes) { out += bytes.str(); }
}  // namespace text_internal

// The byte strings joined in order (two or more).
template <typename... More>
  requires(std::same_as<More, Bytes> && ...)
Bytes ConcatBytes(const Bytes& first, const Bytes& second, const More&... more) {
  std::string joined;
  joined.reserve(first.str().size() + second.str().size());
  joined += first.str();
  joined += second.str();
  (text_internal::AppendTo(joined, more), ...);
  return Bytes(std::move(joined));
}

// True when both have the same length and the same bytes.
bool CompareBytes(const Bytes& a, const Bytes& b);

// Bitwise OR of two 32-bit values.
int BitOr(int a, int b);

}  // namespace zentravo
