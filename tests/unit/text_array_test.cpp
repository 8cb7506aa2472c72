#include <gtest/gtest.h>

#include "runtime/fatal_error.h"
#include "tests/support/death_test.h"
#include "text/text.h"

namespace zentravo {
namespace {

TEST(TextArrayTest, AppendAndReadMembers) {
  TextArray array;
  EXPECT_EQ(ArrayCount(array), 0);
  AppendMember(array, "a");
  AppendMember(array, "");
  Text third("c");
  AppendMember(array, third);
  third = Text("changed");  // the array holds a copy
  ASSERT_EQ(ArrayCount(array), 3);
  EXPECT_EQ(ArrayMember(array, 1).str(), "a");
  EXPECT_EQ(ArrayMember(array, 2).str(), "");
  EXPECT_EQ(ArrayMember(array, 3).str(), "c");
}

void ReadMember(int index) {
  SetFatalErrorReporter(ReportFatalErrorToStandardError);
  TextArray array{"a", "b"};
  ArrayMember(array, index);
}

TEST(TextArrayDeathTest, IndexOutsideTheArrayIsFatalAndNamesTheLimit) {
  // 下限: the lower limit; 上限: the upper limit (code page 936 in both program and test).
  EXPECT_EXIT(ReadMember(0), testing::ExitedWithCode(kExitStatusMinusOne), "0.*下限");
  EXPECT_EXIT(ReadMember(-3), testing::ExitedWithCode(kExitStatusMinusOne), "-3.*下限");
  EXPECT_EXIT(ReadMember(3), testing::ExitedWithCode(kExitStatusMinusOne), "3.*上限 2");
  EXPECT_EXIT(ReadMember(1); std::exit(0), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zentravo
