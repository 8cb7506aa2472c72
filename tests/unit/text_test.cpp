#include "text/text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/hex.h"

namespace zentravo {
namespace {

// Non-ASCII bytes are spelled out: narrow literals are compiled to code page 936.
constexpr const char* kFullWidthSpace = "\xA1\xA1";
constexpr const char* kZhong = "\xD6\xD0";  // 中: a two-byte character

TEST(TextValue, KeepsTheBytesBeforeTheFirstZero) {
  EXPECT_EQ(Text("ab").str(), "ab");
  EXPECT_EQ(Text(static_cast<const char*>(nullptr)).str(), "");
  EXPECT_EQ(Text(std::string_view("ab\0cd", 5)).str(), "ab");
  EXPECT_EQ(Text(std::string("ab\0cd", 5)).str(), "ab");
  const std::string lvalue("x\0y", 3);
  EXPECT_EQ(Text(lvalue).str(), "x");
  EXPECT_EQ(Text(), Text(""));
  EXPECT_NE(Text("a"), Text("A"));
}

TEST(TextCutting, LeftRightMid) {
  struct Row {
    const char* op;
    const char* text;
    int start;  // TextMid only
    int count;
    const char* expected;
  } rows[] = {
      {"left", "abcdef", 0, 3, "abc"},     {"left", "abc", 0, 0, ""},
      {"left", "abc", 0, -5, ""},          {"left", "abc", 0, 99, "abc"},
      {"left", "", 0, 2, ""},              {"right", "abcdef", 0, 2, "ef"},
      {"right", "abc", 0, 0, ""},          {"right", "abc", 0, -1, ""},
      {"right", "abc", 0, 3, "abc"},       {"right", "abc", 0, 10, "abc"},
      {"mid", "abcdef", 2, 3, "bcd"},      {"mid", "abcdef", 0, 3, ""},
      {"mid", "abcdef", -1, 3, ""},        {"mid", "abcdef", 5, 10, "ef"},
      {"mid", "abc", 4, 1, ""},            {"mid", "abc", 3, 0, ""},
      {"mid", "abc", 1, -2, ""},           {"mid", "\xD6\xD0x", 2, 2, "\xD0x"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.op) + " '" + row.text + "' " + std::to_string(row.start) + " " +
                 std::to_string(row.count));
    Text result = std::string(row.op) == "left"    ? TextLeft(row.text, row.count)
                  : std::string(row.op) == "right" ? TextRight(row.text, row.count)
                                                   : TextMid(row.text, row.start, row.count);
    EXPECT_EQ(result.str(), row.expected);
  }
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength(kZhong), 2);
}

TEST(TextBuilding, ConcatBlankCharFromCode) {
  EXPECT_EQ(ConcatText("ab", "", "c").str(), "abc");
  EXPECT_EQ(ConcatText(Text(), Text()).str(), "");
  EXPECT_EQ(ConcatText(Text("a"), std::string("b"), Text("c"), "d").str(), "abcd");
  EXPECT_EQ(BlankText(3).str(), "   ");
  EXPECT_EQ(BlankText(0).str(), "");
  EXPECT_EQ(BlankText(-4).str(), "");
  EXPECT_EQ(CharFromCode(0).str(), "");
  EXPECT_EQ(CharFromCode(65).str(), "A");
  EXPECT_EQ(CharFromCode(0xD6).str(), "\xD6");
}

TEST(TextCompare, BytesAsUnsignedPrefixSmaller) {
  struct Row {
    const char* a;
    const char* b;
    int sign;
  } rows[] = {
      {"", "", 0},      {"abc", "abc", 0}, {"ab", "abc", -1}, {"abc", "ab", 1},
      {"a", "B", 1},    {"A", "a", -1},    {"\x80", "z", 1},  {"z", "\xFF", -1},
      {"", "a", -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(HexBytes(row.a) + " vs " + HexBytes(row.b));
    const int result = CompareText(row.a, row.b);
    EXPECT_EQ((result > 0) - (result < 0), row.sign);
  }
}

struct FindRow {
  std::string text;
  std::string find;
  std::optional<int> start;
  bool ignoreCase;
  int expected;
};

TEST(TextSearch, FindText) {
  const std::string zz = std::string(kZhong) + kZhong;  // D6 D0 D6 D0
  const FindRow rows[] = {
      {"abcabc", "c", 4, false, 6},
      {"abcabc", "c", std::nullopt, false, 3},
      {"abc", "x", std::nullopt, false, -1},
      {"abc", "", 3, false, 1},
      {"abc", "", std::nullopt, false, 1},
      {"", "", std::nullopt, false, -1},
      {"abc", "", 4, false, -1},
      {"abc", "a", 4, false, -1},
      {"abc", "a", 0, false, 1},
      {"abc", "a", -7, false, 1},
      {"User-agent: x", "User-Agent:", std::nullopt, true, 1},
      {"User-agent: x", "User-Agent:", std::nullopt, false, -1},
      {"abc", "abcd", std::nullopt, false, -1},
      // Bytes across the boundary of two characters are not a match: D0 D6.
      {zz, "\xD0\xD6", std::nullopt, false, -1},
      // A character's second byte is never a match start, even for ASCII bytes.
      {"\xB0\x41" "A", "A", std::nullopt, false, 3},
      {"\xB0\x41" "A", "a", std::nullopt, true, 3},
      // The walk begins at the start position, even in the middle of a character.
      {"\xB0\x41" "A", "A", 2, false, 2},
      // Case folding reaches second bytes too.
      {"\xB0\x61", "\xB0\x41", std::nullopt, true, 1},
      {"x" + zz + "y", "y", std::nullopt, false, 6},
      {"x" + zz + "y", kZhong, 4, false, 4},
      // A match inside a run of two-byte characters, at an even distance from its start.
      {"\xCE\xC4\xD6\xD0", kZhong, std::nullopt, false, 3},
      {"\xCE\xC4\xD6\xD0", kZhong, std::nullopt, true, 3},
      {"a\xB0\xB0\xCE\xC4\xD6\xD0", kZhong, std::nullopt, false, 6},
      {std::string(20, '\xB0') + kZhong, kZhong, std::nullopt, false, 21},
      {std::string(21, '\xB0') + kZhong, kZhong, std::nullopt, false, -1},
      // Long ASCII runs and runs of high bytes are walked in larger steps: an odd
      // run's last lead byte still takes the byte after it.
      {std::string(40, 'a') + "\xB0\x41" "A", "A", std::nullopt, false, 43},
      {"\xB0\xB0\xB0" "AA", "A", std::nullopt, false, 5},
      {std::string(17, '\xB0') + "AA", "A", std::nullopt, false, 19},
      {std::string(16, '\xB0') + "AA", "A", std::nullopt, false, 17},
      {"x" + std::string(9, '\xB0') + "yAz", "A", std::nullopt, false, 12},
      // A lead byte ending the text stops the walk but is itself a candidate.
      {"a\x81", "\x81", std::nullopt, false, 2},
      {"a\x81", "a", std::nullopt, false, 1},
  };
  for (const FindRow& row : rows) {
    SCOPED_TRACE(HexBytes(row.text) + " / " + HexBytes(row.find) + " from " +
                 (row.start ? std::to_string(*row.start) : "-") + (row.ignoreCase ? " nocase" : ""));
    EXPECT_EQ(FindText(row.text, row.find, row.start, row.ignoreCase), row.expected);
  }
}

// A long text whose characters all start at odd offsets: "x" and then two-byte
// characters whose second byte is 'A'. "AA" occurs at every character boundary
// but matches only where two real 'A' characters stand, however far into the text
// (past every power-of-two offset a search might work in steps of).
TEST(TextSearch, LongTextKeepsTheWalkToTheEnd) {
  struct Row {
    size_t realAt;  // byte offset of the "AA" that replaces one character
    int expected;
  } rows[] = {{65535, 65536}, {65537, 65538}, {100001, 100002}, {139999, 140000}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.realAt);
    std::string text = "x";
    for (int i = 0; i < 70000; ++i) text += "\xB0\x41";
    text.replace(row.realAt, 2, "AA");
    EXPECT_EQ(FindText(text, "AA"), row.expected);
    EXPECT_EQ(FindTextReverse(text, "AA"), row.expected);
    EXPECT_EQ(ArrayCount(SplitText(text, "AA")), row.realAt + 2 == text.size() ? 1 : 2);
  }
}

TEST(TextSearch, FindTextReverse) {
  const FindRow rows[] = {
      {"host:88:1", ":", std::nullopt, false, 8},
      {"host", ":", std::nullopt, false, -1},
      {"aaa", "aa", std::nullopt, false, 2},
      {"abc", "", std::nullopt, false, 1},
      {"", "", std::nullopt, false, -1},
      {"", "a", std::nullopt, false, -1},
      {"xAx", "a", std::nullopt, true, 2},
      {"xAx", "a", std::nullopt, false, -1},
      {"A\xB0\x41", "A", std::nullopt, false, 1},
      {"\xD6\xD0\xD6\xD0", "\xD6\xD0", std::nullopt, false, 3},
      {std::string(18, '\xB0'), "\xB0\xB0", std::nullopt, false, 17},
  };
  for (const FindRow& row : rows) {
    SCOPED_TRACE(HexBytes(row.text) + " / " + HexBytes(row.find));
    EXPECT_EQ(FindTextReverse(row.text, row.find, row.ignoreCase), row.expected);
  }
}

TEST(TextReplace, ReplaceSubtext) {
  struct Row {
    std::string text;
    std::string find;
    std::optional<std::string> replacement;
    std::optional<int> start;
    std::optional<int> count;
    bool caseSensitive;
    std::string expected;
  } rows[] = {
      // "#引号" in code page 936 is 23 D2 FD BA C5.
      {"x#\xD2\xFD\xBA\xC5y#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5", "\"", {}, {}, true, "x\"y\""},
      {"abc", "", "Z", {}, {}, true, "abc"},
      {"", "a", "Z", {}, {}, true, ""},
      {"aaa", "aa", "b", {}, {}, true, "ba"},
      {"abab", "ab", std::nullopt, {}, {}, true, ""},
      {"aXa", "x", "-", {}, {}, false, "a-a"},
      {"aXa", "x", "-", {}, {}, true, "aXa"},
      {"a.a.a", ".", "::", 3, {}, true, "a.a::a"},
      {"a.a.a", ".", "::", 0, {}, true, "a::a::a"},
      {"a.a.a", ".", "-", {}, 1, true, "a-a.a"},
      {"a.a.a", ".", "-", {}, 0, true, "a.a.a"},
      {"a.a", ".", "-", 9, {}, true, "a.a"},
      // The replacement is never examined again.
      {"aa", "a", "aa", {}, {}, true, "aaaa"},
      // No match starts inside a two-byte character.
      {"\xB0\x41" "A", "A", "z", {}, {}, true, "\xB0\x41z"},
      {"\xD6\xD0\xD6\xD0", "\xD0\xD6", "z", {}, {}, true, "\xD6\xD0\xD6\xD0"},
      // Every two-byte character of a run is a place to match.
      {"\xD6\xD0\xD6\xD0", "\xD6\xD0", "x", {}, {}, true, "xx"},
      {"\xD6\xD0\xD6\xD0", "\xD6\xD0", "x", 3, {}, true, "\xD6\xD0x"},
      // A lead byte ending the text: dropped when the walk meets it as a character
      // (one-byte find), kept when fewer bytes remain than find has.
      {"ab\x81", "x", "y", {}, {}, true, "ab"},
      {"ab\x81", "xy", "z", {}, {}, true, "ab\x81"},
      {"ab\x81", "b", "B", {}, {}, true, "aB"},
      {"ab\x81", "b", "B", {}, 1, true, "aB\x81"},
      // ... also at the end of a run of two-byte characters.
      {"a\xB0\xB0\xB0", "x", "y", {}, {}, true, "a\xB0\xB0"},
      {"a\xB0\xB0\xB0", "x", "y", {}, {}, false, "a\xB0\xB0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(HexBytes(row.text) + " / " + HexBytes(row.find));
    std::optional<Text> replacement;
    if (row.replacement) replacement = Text(*row.replacement);
    EXPECT_EQ(HexBytes(ReplaceSubtext(row.text, row.find, replacement, row.start, row.count,
                                 row.caseSensitive)
                      .str()),
              HexBytes(row.expected));
  }
  // The default flag ignores case.
  EXPECT_EQ(ReplaceSubtext("aXa", "x", Text("-")).str(), "a-a");
}

TEST(TextSplit, SplitText) {
  struct Row {
    std::string text;
    std::string delimiter;
    std::optional<int> maxCount;
    std::vector<std::string> expected;
  } rows[] = {
      {"", ";", {}, {}},
      {"abc", ";", {}, {"abc"}},
      {";a", ";", {}, {"", "a"}},
      {"a;", ";", {}, {"a"}},
      {"a;;b;", ";", {}, {"a", "", "b"}},
      {"l1\r\nl2\r\n\r\n", "\r\n", {}, {"l1", "l2", ""}},
      {"abc", "", {}, {"abc"}},
      {"a;b;c", ";", 2, {"a", "b"}},
      {"a;b;c", ";", 0, {}},
      {"a;b;c", ";", -3, {}},
      {"a;b", ";", 5, {"a", "b"}},
      {"aXbxc", "x", {}, {"aXb", "c"}},
      {";", ";", {}, {""}},
      // The second byte of a character is not a delimiter.
      {"\xB0;x;y", ";", {}, {"\xB0;x", "y"}},
      // A lead byte ending the text stays in the last member.
      {"a;b\x81", ";", {}, {"a", "b\x81"}},
      // A two-byte delimiter inside a run of two-byte characters.
      {"\xBC\xD7\xA3\xAC\xD2\xD2", "\xA3\xAC", {}, {"\xBC\xD7", "\xD2\xD2"}},
      {"\xBC\xA3\xAC\xD2", "\xA3\xAC", {}, {"\xBC\xA3\xAC\xD2"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(HexBytes(row.text) + " at " + HexBytes(row.delimiter));
    TextArray parts = SplitText(row.text, row.delimiter, row.maxCount);
    std::vector<std::string> got;
    for (const Text& part : parts.members()) got.push_back(part.str());
    EXPECT_EQ(got, row.expected);
  }
}

TEST(TextChange, LowerTrimRemoveSpaces) {
  const std::string fw = kFullWidthSpace;
  struct Row {
    const char* op;
    std::string in;
    std::string expected;
  } rows[] = {
      {"lower", "ABC:/X", "abc:/x"},
      {"lower", "\xB0\x41Z", "\xB0\x41z"},  // second bytes are never lowered
      {"lower", "A\x81", "a\x81"},
      {"lower", "", ""},
      {"trim", "  a b  ", "a b"},
      {"trim", fw + " a" + fw + " ", "a"},
      {"trim", "\ta\r\n", "\ta\r\n"},
      {"trim", "   ", ""},
      {"trim", fw + fw, ""},
      {"trim", "", ""},
      {"trim", "a  \x81", "a  "},  // the lone lead byte goes, the spaces before it stay
      {"trim", " \x81", ""},
      {"trim", "\xB0\x20 ", "\xB0\x20"},  // 0x20 as a second byte is no space
      {"remove", "a b" + fw + "c", "abc"},
      {"remove", "\ta \n", "\ta\n"},
      {"remove", "a\x81", "a"},
      {"remove", "\xA1\xA1\xA1", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.op) + " " + HexBytes(row.in));
    const std::string op = row.op;
    Text result = op == "lower"  ? ToLowerCase(row.in)
                  : op == "trim" ? TrimBothEnds(row.in)
                                 : RemoveAllSpaces(row.in);
    EXPECT_EQ(HexBytes(result.str()), HexBytes(row.expected));
  }
}

TEST(TextToInteger, ParsesWithFullWidthFoldingAndWrapAround) {
  struct Row {
    std::string in;
    int expected;
  } rows[] = {
      {"443/path", 443},
      {"", 0},
      {"  -12x", -12},
      {"abc", 0},
      {"+7", 7},
      {"\t\n\v\f\r 5", 5},
      {"- 5", 0},
      {"\xA3\xB8\xA3\xB0", 80},                   // full-width 8 0
      {"\xA3\xAD\xA3\xB3", -3},                   // full-width minus, 3
      {"\xA1\xA1" "42", 42},                      // full-width space is skipped
      {"2147483647", 2147483647},
      {"2147483648", -2147483647 - 1},            // wraps around
      {"4294967297", 1},
      {"-2147483648", -2147483647 - 1},
      {"12\xA3\xB3", 123},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(HexBytes(row.in));
    EXPECT_EQ(ToInteger(row.in), row.expected);
  }
}

TEST(ByteStrings, Operations) {
  const Bytes abzcd(std::string_view("ab\0cd", 5));
  EXPECT_EQ(BytesToText(abzcd).str(), "ab");
  EXPECT_EQ(BytesToText(Bytes(std::string_view("\0x", 2))).str(), "");
  EXPECT_EQ(BytesToText(Bytes()).str(), "");
  EXPECT_EQ(BytesLength(TextToBytes("ab")), 2);
  EXPECT_EQ(BytesLength(TextToBytes("")), 0);
  EXPECT_EQ(BytesLength(abzcd), 5);
  EXPECT_EQ(BlankBytes(3).str(), std::string(3, '\0'));
  EXPECT_EQ(BytesLength(BlankBytes(-1)), 0);
  EXPECT_EQ(BytesLeft(Bytes("abc"), 1024).str(), "abc");
  EXPECT_EQ(BytesLeft(Bytes("abc"), -1).str(), "");
  EXPECT_EQ(BytesLeft(abzcd, 4).str(), std::string("ab\0c", 4));
  EXPECT_EQ(BytesLength(ConcatBytes(Bytes(), Bytes())), 0);
  EXPECT_EQ(ConcatBytes(abzcd, Bytes("x"), Bytes("y")).str(), std::string("ab\0cdxy", 7));
  EXPECT_TRUE(CompareBytes(Bytes(), Bytes()));
  EXPECT_TRUE(CompareBytes(abzcd, Bytes(std::string_view("ab\0cd", 5))));
  EXPECT_FALSE(CompareBytes(abzcd, Bytes(std::string_view("ab\0ce", 5))));
  EXPECT_FALSE(CompareBytes(Bytes("ab"), Bytes("abc")));
  EXPECT_EQ(BitOr(0x80000000, 0x10), static_cast<int>(0x80000010));
  EXPECT_EQ(BitOr(0, 0), 0);
}

}  // namespace
}  // namespace zentravo
