#pragma once

// What the lookup test server (tests/support/lookup_test_server.py) received: it
// appends every request, exactly as the bytes arrived, to a record file whose
// Unix path the server's wrapper puts in ZENTRAVO_LOOKUP_RECORD.

#include <optional>
#include <string>
#include <vector>

namespace zentravo::e2e {

struct ReceivedRequest {
  std::string method;                    // "POST"
  std::string target;                    // the request target as sent: "/weibo/brellik.php?url=..."
  std::string version;                   // "HTTP/1.1"
  std::vector<std::string> headerLines;  // "Name: value", as received and in order
  std::string body;

  // The value of the first header line called `name` (letter case ignored),
  // without the spaces after the colon; nullopt when there is none.
  std::optional<std::string> Header(const std::string& name) const;
};

// The record file as the tests open it (drive Z: is the Unix root under Wine);
// empty when ZENTRAVO_LOOKUP_RECORD is not set.
std::string LookupRecordPath();

// Every request recorded so far, first to last; nullopt when the file cannot be
// read or does not hold well-formed entries.
std::optional<std::vector<ReceivedRequest>> ReadLookupRecord(const std::string& path);

}  // namespace zentravo::e2e
