#include "service/connection_limits.h"

#include <algorithm>
#include <limits>

namespace zentravo::lookup {

Admission ConnectionTable::Admit(const std::string& client, const std::shared_ptr<TrackedConnection>& connection,
                                 Key* key) {
  std::lock_guard lock(mutex_);
  if (stopping_) return Admission::kDrop;

  auto count = perClient_.find(client);
  bool room = true;
  if (count != perClient_.end() && count->second >= limits_.perClient) room = ShedIdle(&client);
  if (room && served_ >= limits_.total) room = ShedIdle(nullptr);

  Admission admission = Admission::kServe;
  if (!room) {
    if (refusing_ >= limits_.refusing) return Admission::kDrop;
    admission = Admission::kRefuse;
  }
  *key = next_++;
  open_.emplace(*key, Entry{client, connection, admission == Admission::kRefuse});
  if (admission == Admission::kRefuse) {
    ++refusing_;
  } else {
    ++served_;
    ++perClient_[client];
    peak_ = std::max(peak_, served_);
  }
  return admission;
}

bool ConnectionTable::ShedIdle(const std::string* client) {
  auto oldest = open_.end();
  std::int64_t oldestSince = std::numeric_limits<std::int64_t>::max();
  std::shared_ptr<TrackedConnection> victim;
  for (auto it = open_.begin(); it != open_.end(); ++it) {
    if (it->second.refusing || (client && it->second.client != *client)) continue;
    std::shared_ptr<TrackedConnection> candidate = it->second.connection.lock();
    if (!candidate || !candidate->idle() || candidate->idleSince() >= oldestSince) continue;
    oldest = it;
    oldestSince = candidate->idleSince();
    victim = std::move(candidate);
  }
  if (!victim) return false;
  victim->CloseIfStillIdle();
  Forget(oldest);
  return true;
}

void ConnectionTable::Forget(std::unordered_map<Key, Entry>::iterator entry) {
  if (entry->second.refusing) {
    --refusing_;
  } else {
    --served_;
    auto count = perClient_.find(entry->second.client);
    if (count != perClient_.end() && --count->second == 0) perClient_.erase(count);
  }
  open_.erase(entry);
  if (open_.empty()) emptied_.notify_all();
}

void ConnectionTable::Remove(Key key) {
  std::lock_guard lock(mutex_);
  auto entry = open_.find(key);
  if (entry != open_.end()) Forget(entry);
}

void ConnectionTable::CloseAll() {
  std::lock_guard lock(mutex_);
  stopping_ = true;
  for (auto& [key, entry] : open_) {
    if (std::shared_ptr<TrackedConnection> connection = entry.connection.lock()) connection->CloseNow();
  }
}

void ConnectionTable::DrainAll() {
  std::lock_guard lock(mutex_);
  draining_ = true;
  for (auto& [key, entry] : open_) {
    if (std::shared_ptr<TrackedConnection> connection = entry.connection.lock()) connection->Drain();
  }
}

bool ConnectionTable::draining() const {
  std::lock_guard lock(mutex_);
  return draining_;
}

bool ConnectionTable::WaitUntilEmpty(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return emptied_.wait_for(lock, limit, [this] { return open_.empty(); });
}

std::size_t ConnectionTable::served() const {
  std::lock_guard lock(mutex_);
  return served_;
}

std::size_t ConnectionTable::TakePeak() {
  std::lock_guard lock(mutex_);
  const std::size_t peak = peak_;
  peak_ = served_;
  return peak;
}

std::size_t ConnectionTable::servedFor(const std::string& client) const {
  std::lock_guard lock(mutex_);
  auto count = perClient_.find(client);
  return count == perClient_.end() ? 0 : count->second;
}

}  // namespace zentravo::lookup
