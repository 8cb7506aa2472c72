#include "tests/e2e/lookup_record.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zentravo::e2e {
namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// The pieces of `text` between CR LF pairs.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::optional<ReceivedRequest> ParseHead(const std::string& head, std::string body) {
  std::vector<std::string> lines = SplitLines(head);
  if (lines.empty()) return std::nullopt;
  ReceivedRequest request;
  // Request line: method, target, version, one space apart; the target holds no
  // space unless the client let one through, so the version is the last word.
  const std::string& requestLine = lines[0];
  const size_t firstSpace = requestLine.find(' ');
  const size_t lastSpace = requestLine.rfind(' ');
  if (firstSpace == std::string::npos || lastSpace == firstSpace) return std::nullopt;
  request.method = requestLine.substr(0, firstSpace);
  request.target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
  request.version = requestLine.substr(lastSpace + 1);
  request.headerLines.assign(lines.begin() + 1, lines.end());
  request.body = std::move(body);
  return request;
}

}  // namespace

std::optional<std::string> ReceivedRequest::Header(const std::string& name) const {
  for (const std::string& line : headerLines) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos || !SameIgnoringCase(line.substr(0, colon), name)) continue;
    const size_t value = line.find_first_not_of(' ', colon + 1);
    return value == std::string::npos ? std::string() : line.substr(value);
  }
  return std::nullopt;
}

std::string LookupRecordPath() {
  const char* path = std::getenv("ZENTRAVO_LOOKUP_RECORD");
  if (path == nullptr || *path == '\0') return std::string();
  return path[0] == '/' ? std::string("Z:") + path : std::string(path);
}

std::optional<std::vector<ReceivedRequest>> ReadLookupRecord(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream content;
  content << in.rdbuf();
  const std::string record = content.str();

  // Entries: "request HEAD BODY\n", HEAD bytes, BODY bytes, "\n".
  std::vector<ReceivedRequest> requests;
  size_t at = 0;
  while (at < record.size()) {
    const size_t lineEnd = record.find('\n', at);
    if (lineEnd == std::string::npos) return std::nullopt;
    std::istringstream intro(record.substr(at, lineEnd - at));
    std::string word;
    size_t headLength = 0, bodyLength = 0;
    if (!(intro >> word >> headLength >> bodyLength) || word != "request") return std::nullopt;
    const size_t headAt = lineEnd + 1;
    const size_t end = headAt + headLength + bodyLength;
    if (end >= record.size() || record[end] != '\n') return std::nullopt;
    std::optional<ReceivedRequest> request =
        ParseHead(record.substr(headAt, headLength), record.substr(headAt + headLength, bodyLength));
    if (!request) return std::nullopt;
    requests.push_back(std::move(*request));
    at = end + 1;
  }
  return requests;
}

}  // namespace zentravo::e2e
