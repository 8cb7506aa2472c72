#pragma once

// Who may hold how many of the server's connections. One client must not be able
// to take every slot: each client address gets a share, and when the slots run
// out, connections that sit idle between requests make room for new ones first.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace zentravo::lookup {

// What the table needs of a connection. Implementations close on their own
// thread; the table calls these from any thread, under its lock.
class TrackedConnection {
 public:
  virtual ~TrackedConnection() = default;
  // Closes the connection unless it has started a new request meanwhile.
  virtual void CloseIfStillIdle() = 0;
  virtual void CloseNow() = 0;
  // The server is going away: the connection takes no further request once the
  // one under way, if any, is answered.
  virtual void Drain() = 0;

  // Set while the connection waits for the next request on a kept-alive
  // connection; the time it began waiting orders whom to shed first.
  void MarkIdle(bool idle) {
    if (idle) idleSince_.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    idle_.store(idle, std::memory_order_release);
  }
  bool idle() const { return idle_.load(std::memory_order_acquire); }
  std::int64_t idleSince() const { return idleSince_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> idle_{false};
  std::atomic<std::int64_t> idleSince_{0};
};

struct ConnectionLimits {
  std::size_t total = 4096;     // connections served at once
  std::size_t perClient = 64;   // of those, from one client address
  std::size_t refusing = 256;   // connections at once that get a 503 before they are closed
};

enum class Admission {
  kServe,   // serve it
  kRefuse,  // answer 503 and close
  kDrop,    // close at once: stopping, or too many refusals under way
};

// The open connections, counted by client address.
class ConnectionTable {
 public:
  using Key = std::uint64_t;

  explicit ConnectionTable(const ConnectionLimits& limits) : limits_(limits) {}

  // Decides what to do with a new connection from client (an address in a
  // canonical spelling) and registers it under *key unless the answer is kDrop.
  // When the client's share or all slots are taken, the connection idle longest
  // (the client's own, or anyone's) is shed to make room; only when there is
  // none is the connection refused.
  Admission Admit(const std::string& client, const std::shared_ptr<TrackedConnection>& connection, Key* key);

  // Forgets a connection; one already shed is forgotten already.
  void Remove(Key key);

  // From now on Admit drops; every registered connection is closed.
  void CloseAll();

  // From now on every connection, registered or still to come, drains.
  void DrainAll();
  bool draining() const;
  // True once no connection is registered; false when limit passes first.
  bool WaitUntilEmpty(std::chrono::milliseconds limit);

  // How many are being served, in all and for one client.
  std::size_t served() const;
  std::size_t servedFor(const std::string& client) const;

  // The most served at once since the last call (or since the start), then
  // starts counting again from the number served now.
  std::size_t TakePeak();

 private:
  struct Entry {
    std::string client;
    std::weak_ptr<TrackedConnection> connection;
    bool refusing = false;
  };
  // Sheds the connection idle longest among those served (of client only when
  // client is not null); false when none is idle.
  bool ShedIdle(const std::string* client);
  void Forget(std::unordered_map<Key, Entry>::iterator entry);

  const ConnectionLimits limits_;
  mutable std::mutex mutex_;
  std::condition_variable emptied_;
  bool stopping_ = false;
  bool draining_ = false;
  Key next_ = 1;
  std::size_t served_ = 0;
  std::size_t peak_ = 0;
  std::size_t refusing_ = 0;
  std::unordered_map<Key, Entry> open_;
  std::map<std::string, std::size_t, std::less<>> perClient_;
};

}  // namespace zentravo::lookup
