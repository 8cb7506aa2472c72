#pragma once

// Holds every walking operation of text/text.h against the plain walk of
// tests/support/text_reference.h on one set of arguments.

#include <optional>
#include <string>

namespace zentravo {

// The arguments one check feeds to the operations. `find` is also the delimiter of
// SplitText, and `count` also its maximum. None of the texts holds a zero byte.
struct TextWalkCase {
  std::string text;
  std::string find;
  std::optional<std::string> replacement;
  std::optional<int> start;
  std::optional<int> count;
};

// Runs FindText (with and without the start, both case flags), FindTextReverse
// (both flags), ReplaceSubtext (both flags, with the start and count), SplitText
// (with and without the maximum), ToLowerCase, TrimBothEnds and RemoveAllSpaces on
// `c`, and each again on the plain walk. Empty when all agree; otherwise the first
// disagreement: the call with its arguments in hex, what the library gave and what
// the plain walk gives.
std::string FirstDisagreement(const TextWalkCase& c);

// `c`'s arguments in one line, texts in hex, for naming a failing input.
std::string DescribeCase(const TextWalkCase& c);

}  // namespace zentravo
