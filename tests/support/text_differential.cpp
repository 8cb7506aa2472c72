#include "tests/support/text_differential.h"

#include <string_view>
#include <vector>

#include "tests/support/hex.h"
#include "tests/support/text_reference.h"
#include "text/text.h"

namespace zentravo {
namespace {

// The pieces appended in order (built by appending only, which keeps GCC's
// -Wrestrict false alarm about inserting at the front away).
template <typename... Pieces>
std::string Join(const Pieces&... pieces) {
  std::string out;
  (out.append(pieces), ...);
  return out;
}

std::string Bracketed(const std::string& bytes) { return Join("<", HexBytes(bytes), ">"); }

std::string OptionalInt(std::optional<int> value) {
  return value ? std::to_string(*value) : "none";
}

std::string Members(const std::vector<std::string>& members) {
  std::string out = "[";
  for (const std::string& member : members) {
    if (out.size() > 1) out += ", ";
    out += Bracketed(member);
  }
  return out + "]";
}

std::vector<std::string> Members(const TextArray& array) {
  std::vector<std::string> out;
  for (const Text& member : array.members()) out.push_back(member.str());
  return out;
}

std::string Mismatch(const std::string& call, const std::string& library,
                     const std::string& reference) {
  return Join(call, ": library gives ", library, ", plain walk gives ", reference);
}

std::string CheckFind(const TextWalkCase& c, std::optional<int> start, bool ignoreCase) {
  const int got = FindText(c.text, c.find, start, ignoreCase);
  const int want = plain_walk::FindText(c.text, c.find, start, ignoreCase);
  if (got == want) return {};
  return Mismatch(Join("FindText(start ", OptionalInt(start), ", ignoreCase ",
                       std::to_string(ignoreCase), ")"),
                  std::to_string(got), std::to_string(want));
}

std::string CheckFindReverse(const TextWalkCase& c, bool ignoreCase) {
  const int got = FindTextReverse(c.text, c.find, ignoreCase);
  const int want = plain_walk::FindTextReverse(c.text, c.find, ignoreCase);
  if (got == want) return {};
  return Mismatch(Join("FindTextReverse(ignoreCase ", std::to_string(ignoreCase), ")"),
                  std::to_string(got), std::to_string(want));
}

std::string CheckReplace(const TextWalkCase& c, std::optional<int> start,
                         std::optional<int> count, bool caseSensitive) {
  std::optional<Text> replacement;
  std::optional<std::string_view> plainReplacement;
  if (c.replacement) {
    replacement = Text(*c.replacement);
    plainReplacement = *c.replacement;
  }
  const std::string got =
      ReplaceSubtext(c.text, c.find, replacement, start, count, caseSensitive).str();
  const std::string want =
      plain_walk::ReplaceSubtext(c.text, c.find, plainReplacement, start, count, caseSensitive);
  if (got == want) return {};
  return Mismatch(Join("ReplaceSubtext(start ", OptionalInt(start), ", count ", OptionalInt(count),
                       ", caseSensitive ", std::to_string(caseSensitive), ")"),
                  Bracketed(got), Bracketed(want));
}

std::string CheckSplit(const TextWalkCase& c, std::optional<int> maxCount) {
  const std::vector<std::string> got = Members(SplitText(c.text, c.find, maxCount));
  const std::vector<std::string> want = plain_walk::SplitText(c.text, c.find, maxCount);
  if (got == want) return {};
  return Mismatch(Join("SplitText(maxCount ", OptionalInt(maxCount), ")"), Members(got),
                  Members(want));
}

std::string CheckChange(const char* name, const Text& got, const std::string& want) {
  if (got.str() == want) return {};
  return Mismatch(name, Bracketed(got.str()), Bracketed(want));
}

}  // namespace

std::string DescribeCase(const TextWalkCase& c) {
  return Join("text ", Bracketed(c.text), " find ", Bracketed(c.find), " replacement ",
              c.replacement ? Bracketed(*c.replacement) : std::string("none"), " start ",
              OptionalInt(c.start), " count ", OptionalInt(c.count));
}

std::string FirstDisagreement(const TextWalkCase& c) {
  std::string found;
  // Runs one check unless an earlier one has already disagreed.
  auto check = [&found](auto&& run) {
    if (found.empty()) found = run();
  };
  for (bool flag : {false, true}) {
    check([&] { return CheckFind(c, std::nullopt, flag); });
    check([&] { return CheckFind(c, c.start, flag); });
    check([&] { return CheckFindReverse(c, flag); });
    check([&] { return CheckReplace(c, c.start, c.count, flag); });
    check([&] { return CheckReplace(c, std::nullopt, std::nullopt, flag); });
  }
  check([&] { return CheckSplit(c, std::nullopt); });
  check([&] { return CheckSplit(c, c.count); });
  check([&] { return CheckChange("ToLowerCase", ToLowerCase(c.text), plain_walk::ToLowerCase(c.text)); });
  check([&] { return CheckChange("TrimBothEnds", TrimBothEnds(c.text), plain_walk::TrimBothEnds(c.text)); });
  check([&] {
    return CheckChange("RemoveAllSpaces", RemoveAllSpaces(c.text), plain_walk::RemoveAllSpaces(c.text));
  });
  return found;
}

}  // namespace zentravo
