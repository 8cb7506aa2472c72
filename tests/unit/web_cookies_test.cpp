#include "web/cookies.h"

#include <gtest/gtest.h>

#include <string>

namespace zentravo {
namespace {

TEST(MergeCookies, NewFirstThenUnreplacedOldWithoutDeleted) {
  struct Row {
    const char* oldCookies;
    const char* newCookies;
    const char* merged;
    const char* newAfter;
  } rows[] = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
      {"sid=1; t=2", "t=deleted", "sid=1", "t=deleted"},
      {"a=deleted", "", "", ""},
      {"a=1; a=2", "", "a=1", ""},
      {"", "x=1; x=2", "x=1; x=2", "x=1;x=2"},
      {"SID=1", "sid=2", "sid=2; SID=1", "sid=2"},
      {"a=x y", "", "a=xy", ""},
      {"flag", "flag=1", "flag=1", "flag=1"},
      {"a=1;", "", "a=1", ""},
      {"a=1;;b=2", "", "a=1; ; b=2", ""},
      {"a=DELETED", "", "a=DELETED", ""},
      {"", "", "", ""},
      {" a = 1 ;\xA1\xA1" "b=2", " c = 3 ", "c=3; a=1; b=2", "c=3"},
      {"deleted", "", "deleted", ""},  // shorter than the mark, so kept
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("old '") + row.oldCookies + "' new '" + row.newCookies + "'");
    Text oldCookies = row.oldCookies;
    Text newCookies = row.newCookies;
    const Text result = MergeCookies(oldCookies, newCookies);
    EXPECT_EQ(oldCookies.str(), row.merged);
    EXPECT_EQ(result.str(), row.merged);
    EXPECT_EQ(newCookies.str(), row.newAfter);
  }
}

TEST(CookieName, TextBeforeTheFirstEqualsTrimmed) {
  struct Row {
    const char* item;
    const char* name;
  } rows[] = {
      {"a=1", "a"}, {" a =1", "a"}, {"flag", "flag"}, {"a=b=c", "a"}, {"=v", ""}, {"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.item);
    EXPECT_EQ(CookieName(row.item).str(), row.name);
  }
}

TEST(CookieListContains, ComparesNamesByteForByte) {
  const TextArray items{"a=1", "Sid=2", "flag", ""};
  EXPECT_TRUE(CookieListContains(items, "a"));
  EXPECT_TRUE(CookieListContains(items, "Sid"));
  EXPECT_FALSE(CookieListContains(items, "sid"));
  EXPECT_TRUE(CookieListContains(items, "flag"));
  EXPECT_TRUE(CookieListContains(items, ""));  // the empty item has the empty name
  EXPECT_FALSE(CookieListContains(TextArray{}, ""));
  EXPECT_FALSE(CookieListContains(items, "b"));
}

}  // namespace
}  // namespace zentravo
