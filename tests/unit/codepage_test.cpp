#include "text/codepage.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/hex.h"

namespace zentravo {
namespace {

Bytes Raw(std::string_view bytes) { return Bytes(bytes); }

TEST(Utf8ToGbkTest, ConvertsWholeAndSubstitutesWhatItCannotRead) {
  struct Row {
    const char* label;
    std::string utf8;
    std::string gbk;
  } rows[] = {
      {"empty", "", ""},
      {"ascii unchanged", "UID 1234567890 ok", "UID 1234567890 ok"},
      {"two Chinese characters", "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
      {"full-width punctuation", "\xEF\xBC\x9A\xEF\xBC\x8C", "\xA3\xBA\xA3\xAC"},  // ：，
      {"Thai, which GBK lacks", "a\xE0\xB8\x81z", "a?z"},
      // A lone UTF-8 lead byte before an ASCII letter reads as one GBK character
      // when measured, but decodes into two units: the answer must still be whole.
      {"lone lead byte then a letter", "\xE4" "a", "?a"},
      {"several of them", "\xE4" "a" "\xE4" "b" "\xE4" "c", "?a?b?c"},
      {"cut three-byte sequence", "\xE4\xB8" "a", "?a"},
      {"invalid byte alone", "\xFF", "?"},
      {"overlong form", "a\xC0\x80" "b", "a??b"},
      {"answer with a line end", "123\r\n", "123\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(HexBytes(Utf8ToGbk(row.utf8).str()), HexBytes(row.gbk));
  }
}

TEST(CodePageToWideTest, WholeBufferWithTheTerminatingUnit) {
  struct Row {
    const char* label;
    std::string text;
    int codePage;
    bool useGivenCodePage;
    std::string wide;
  } rows[] = {
      {"ascii read as UTF-8", "abc", 0, false, std::string("a\0b\0c\0\0\0", 8)},
      {"empty", "", 65001, true, ""},
      // Measured as GBK the six bytes are three characters, so one spare zero unit.
      {"UTF-8 Chinese", "\xE4\xB8\xAD\xE6\x96\x87", 0, false, std::string("\x2D\x4E\x87\x65\0\0\0\0", 8)},
      {"GBK Chinese", "\xD6\xD0\xCE\xC4", 936, true, std::string("\x2D\x4E\x87\x65\0\0", 6)},
      // With the flag clear the given code page does not count: read as UTF-8,
      // these GBK bytes are two invalid sequences. Measured as GBK they are one
      // character, which would leave no room for the second unit.
      {"flag clear ignores 936", "\xD6\xD0", 936, false, std::string("\xFD\xFF\xFD\xFF\0\0", 6)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(HexBytes(CodePageToWide(row.text, row.codePage, row.useGivenCodePage).str()), HexBytes(row.wide));
  }
}

TEST(WideToCodePageTest, StopsAtTheFirstZeroAndNeverReadsPastTheEnd) {
  const std::string zhongWen("\x2D\x4E\x87\x65\0\0", 6);
  struct Row {
    const char* label;
    Bytes wide;
    int codePage;
    bool useGivenCodePage;
    std::string text;
  } rows[] = {
      {"to GBK", Raw(zhongWen), 936, true, "\xD6\xD0\xCE\xC4"},
      {"to UTF-8", Raw(zhongWen), 65001, true, "\xE4\xB8\xAD\xE6\x96\x87"},
      // With the flag clear the output is the ANSI code page, 936 here.
      {"flag clear ignores 65001", Raw(zhongWen), 65001, false, "\xD6\xD0\xCE\xC4"},
      {"empty", Bytes(), 936, true, ""},
      {"zero unit first", Raw(std::string_view("\0\0a\0", 4)), 936, true, ""},
      {"text ends at the first zero unit", Raw(std::string_view("a\0\0\0b\0", 6)), 936, true, "a"},
      {"no zero unit at all", Raw(std::string_view("a\0b\0", 4)), 936, true, "ab"},
      {"odd byte at the end", Raw(std::string_view("a\0b", 3)), 936, true, "a"},
      {"spare zero units", Raw(std::string_view("x\0\0\0\0\0", 6)), 0, false, "x"},
      // An unknown code page converts nothing: the buffer's spaces remain.
      {"unknown code page", Raw(std::string_view("a\0b\0\0\0", 6)), 12345, true, "      "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(HexBytes(WideToCodePage(row.wide, row.codePage, row.useGivenCodePage).str()), HexBytes(row.text));
  }
}

}  // namespace
}  // namespace zentravo
