#include "service/connection_limits.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zentravo::lookup {
namespace {

// Records what the table asked of it.
class FakeConnection : public TrackedConnection {
 public:
  void CloseIfStillIdle() override { shed = true; }
  void CloseNow() override { closed = true; }
  void Drain() override { drained = true; }
  bool shed = false;
  bool closed = false;
  bool drained = false;
};

struct Opened {
  std::shared_ptr<FakeConnection> connection = std::make_shared<FakeConnection>();
  ConnectionTable::Key key = 0;
  Admission admission = Admission::kDrop;
};

Opened Open(ConnectionTable& table, const std::string& client) {
  Opened opened;
  opened.admission = table.Admit(client, opened.connection, &opened.key);
  return opened;
}

TEST(ConnectionTable, GivesEachClientItsShareAndRefusesBeyondIt) {
  ConnectionTable table(ConnectionLimits{/*total=*/4, /*perClient=*/2, /*refusing=*/1});
  const Opened a1 = Open(table, "10.0.0.1");
  const Opened a2 = Open(table, "10.0.0.1");
  EXPECT_EQ(a1.admission, Admission::kServe);
  EXPECT_EQ(a2.admission, Admission::kServe);
  const Opened a3 = Open(table, "10.0.0.1");
  EXPECT_EQ(a3.admission, Admission::kRefuse);  // its share is taken, none idle
  EXPECT_EQ(Open(table, "10.0.0.1").admission, Admission::kDrop);  // one refusal at a time
  EXPECT_EQ(Open(table, "10.0.0.2").admission, Admission::kServe);  // others are served
  EXPECT_EQ(table.servedFor("10.0.0.1"), 2u);
  EXPECT_EQ(table.served(), 3u);

  table.Remove(a3.key);  // the refusal has been answered
  table.Remove(a1.key);
  EXPECT_EQ(Open(table, "10.0.0.1").admission, Admission::kServe);
  EXPECT_FALSE(a1.connection->shed || a2.connection->shed);
}

TEST(ConnectionTable, ShedsTheLongestIdleConnectionInTheScopeThatIsFull) {
  ConnectionTable table(ConnectionLimits{/*total=*/3, /*perClient=*/2, /*refusing=*/8});
  const Opened a1 = Open(table, "a");
  const Opened a2 = Open(table, "a");
  const Opened b1 = Open(table, "b");
  b1.connection->MarkIdle(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  a2.connection->MarkIdle(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  a1.connection->MarkIdle(true);

  // Client a is at its share: its own longest idle one makes room, not b's.
  const Opened a3 = Open(table, "a");
  EXPECT_EQ(a3.admission, Admission::kServe);
  EXPECT_TRUE(a2.connection->shed);
  EXPECT_FALSE(b1.connection->shed || a1.connection->shed);
  EXPECT_EQ(table.servedFor("a"), 2u);

  // All slots taken: the longest idle of anyone's goes.
  const Opened c1 = Open(table, "c");
  EXPECT_EQ(c1.admission, Admission::kServe);
  EXPECT_TRUE(b1.connection->shed);
  EXPECT_EQ(table.served(), 3u);

  // A connection that is busy again is not shed; with none idle, refused.
  a1.connection->MarkIdle(false);
  EXPECT_EQ(Open(table, "d").admission, Admission::kRefuse);
  EXPECT_FALSE(a1.connection->shed);

  // A shed connection's own removal later changes nothing.
  table.Remove(a2.key);
  EXPECT_EQ(table.served(), 3u);
}

TEST(ConnectionTable, CountsThePeakAndClosesAllWhenStopping) {
  ConnectionTable table(ConnectionLimits{});
  std::vector<Opened> opened;
  for (int i = 0; i < 5; ++i) opened.push_back(Open(table, "a"));
  for (int i = 0; i < 3; ++i) table.Remove(opened[static_cast<std::size_t>(i)].key);
  EXPECT_EQ(table.TakePeak(), 5u);
  EXPECT_EQ(table.TakePeak(), 2u);

  table.CloseAll();
  EXPECT_TRUE(opened[3].connection->closed && opened[4].connection->closed);
  EXPECT_EQ(Open(table, "b").admission, Admission::kDrop);
}

TEST(ConnectionTable, DrainsEveryConnectionAndTellsWhenTheLastHasGone) {
  ConnectionTable table(ConnectionLimits{});
  const Opened a = Open(table, "a");
  const Opened b = Open(table, "b");
  EXPECT_FALSE(table.draining());

  table.DrainAll();
  EXPECT_TRUE(table.draining());
  EXPECT_TRUE(a.connection->drained && b.connection->drained);
  EXPECT_FALSE(table.WaitUntilEmpty(std::chrono::milliseconds(1)));

  table.Remove(a.key);
  EXPECT_FALSE(table.WaitUntilEmpty(std::chrono::milliseconds(1)));
  table.Remove(b.key);
  EXPECT_TRUE(table.WaitUntilEmpty(std::chrono::milliseconds(0)));
}

}  // namespace
}  // namespace zentravo::lookup
