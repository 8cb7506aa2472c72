// Every walking operation held against the plain one-character-at-a-time walk on
// random texts drawn from an alphabet that makes the hard cases common: runs of
// lead bytes (long enough for the word-at-a-time paths), a lead byte ending the
// text, the full-width space and its halves, second bytes in 'A'..'Z', letters of
// both cases, and delimiters that are two-byte characters themselves.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "tests/support/text_differential.h"

namespace zentravo {
namespace {

constexpr std::string_view kPieces[] = {
    "\xB0",     "\x81",     "\xFF", "\x80", "\xA1",  // lead bytes on their own
    "\xA1\xA1",                                     // full-width space
    "\xD6\xD0", "\xA3\xAC", "\xB0\x41",             // two-byte characters, one with 'A' second
    "A",        "Z",        "a",    "z",    "q",    " ", ";", "@",
};

class CaseMaker {
 public:
  explicit CaseMaker(std::uint32_t seed) : random_(seed) {}

  TextWalkCase Next() {
    TextWalkCase c;
    c.text = Pieces(Below(5) == 0 ? 60 : 14);
    c.find = Find(c.text);
    if (Below(5) != 0) c.replacement = Pieces(2);
    if (Below(5) < 3) c.start = Between(-1, static_cast<int>(c.text.size()) + 2);
    if (Below(5) < 3) c.count = Between(-1, 4);
    return c;
  }

 private:
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  int Below(int n) { return Between(0, n - 1); }

  // Up to `maxPieces` pieces; now and then one piece repeated into a long run.
  std::string Pieces(int maxPieces) {
    std::string out;
    for (int n = Between(0, maxPieces); n > 0; --n) {
      const std::string_view piece = kPieces[Below(std::size(kPieces))];
      for (int repeat = Below(8) == 0 ? Between(2, 40) : 1; repeat > 0; --repeat) out += piece;
    }
    return out;
  }

  // Mostly bytes cut from the text at any offset, so matches are common and often
  // straddle characters; sometimes with the letters' case turned; sometimes new.
  std::string Find(const std::string& text) {
    const int kind = Below(10);
    if (kind == 0) return {};
    if (kind <= 2 || text.empty()) return Pieces(3);
    const int at = Below(static_cast<int>(text.size()));
    std::string find = text.substr(at, Between(1, 5));
    if (kind <= 4) {
      for (char& byte : find) {
        if (byte >= 'a' && byte <= 'z') byte = static_cast<char>(byte - 32);
        else if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte + 32);
      }
    }
    return find;
  }

  std::mt19937 random_;
};

TEST(TextDifferential, EveryWalkingOperationAgreesWithThePlainWalk) {
  constexpr std::uint32_t kSeed = 20261211;
  constexpr int kCases = 25000;
  CaseMaker maker(kSeed);
  for (int i = 0; i < kCases; ++i) {
    const TextWalkCase c = maker.Next();
    const std::string disagreement = FirstDisagreement(c);
    if (!disagreement.empty()) {
      ADD_FAILURE() << "case " << i << " of seed " << kSeed << ": " << DescribeCase(c) << "\n"
                    << disagreement;
      return;  // the first differing input is the one worth reading
    }
  }
}

}  // namespace
}  // namespace zentravo
