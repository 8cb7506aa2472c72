#include "service/image_link.h"

#include <algorithm>
#include <array>

#include "service/ascii.h"
#include "service/percent_decoding.h"

namespace zentravo::lookup {
namespace {

constexpr int kMaxWrappings = 4;

// Length of a "scheme://" prefix, or 0 when link has none.
std::size_t SchemePrefixLength(std::string_view link) {
  const std::size_t colon = link.find("://");
  if (colon == std::string_view::npos || colon == 0 || !IsAsciiLetter(link[0])) return 0;
  for (char c : link.substr(0, colon)) {
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.') return 0;
  }
  return colon + 3;
}

std::string_view LastSegment(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The value of the first "url" parameter of query, escapes undone.
std::optional<std::string> UrlParameter(std::string_view query) {
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && EqualsIgnoringCase(pair.substr(0, equals), "url")) {
      return PercentDecode(pair.substr(equals + 1));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return std::nullopt;
}

// The part of path from its first segment that is a Weibo image host.
std::optional<std::string> ImageInsidePath(std::string_view path) {
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (IsWeiboImageHost(path.substr(start, end - start))) return std::string(path.substr(start));
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace

LinkParts SplitLink(std::string_view link) {
  if (link.starts_with("//")) {
    link.remove_prefix(2);
  } else {
    link.remove_prefix(SchemePrefixLength(link));
  }

  const std::size_t authorityEnd = std::min(link.find_first_of("/?#"), link.size());
  std::string_view host = link.substr(0, authorityEnd);
  const std::string_view rest = link.substr(authorityEnd);

  if (const std::size_t at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
  if (const std::size_t colon = host.rfind(':'); colon != std::string_view::npos) {
    const std::string_view port = host.substr(colon + 1);
    bool digits = true;
    for (char c : port) digits = digits && IsAsciiDigit(c);
    if (digits) host = host.substr(0, colon);
  }

  LinkParts parts;
  parts.host = host;
  const std::size_t pathEnd = std::min(rest.find_first_of("?#"), rest.size());
  parts.path = rest.substr(0, pathEnd);
  if (pathEnd < rest.size() && rest[pathEnd] == '?') {
    const std::string_view query = rest.substr(pathEnd + 1);
    parts.query = query.substr(0, query.find('#'));
  }
  return parts;
}

bool IsWeiboImageHost(std::string_view host) {
  if (host.ends_with('.')) host.remove_suffix(1);
  constexpr std::string_view kDomain = ".sinaimg.cn";
  if (host.size() <= kDomain.size() ||
      !EqualsIgnoringCase(host.substr(host.size() - kDomain.size()), kDomain)) {
    return false;
  }
  const std::string_view label = host.substr(0, host.size() - kDomain.size());
  if (label.size() < 2) return false;
  const char number = label.back();
  if (number < '1' || number > '4') return false;
  const std::string_view family = label.substr(0, label.size() - 1);
  constexpr std::array<std::string_view, 5> kFamilies = {"ww", "wx", "ws", "tva", "tvax"};
  for (std::string_view known : kFamilies) {
    if (EqualsIgnoringCase(family, known)) return true;
  }
  return false;
}

std::optional<std::string> FindImageFileName(std::string_view link) {
  std::string current(link);
  for (int wrapping = 0; wrapping <= kMaxWrappings; ++wrapping) {
    const LinkParts parts = SplitLink(current);
    if (IsWeiboImageHost(parts.host)) return std::string(LastSegment(parts.path));

    std::optional<std::string> inner = UrlParameter(parts.query);
    if (!inner) inner = ImageInsidePath(parts.path);
    if (!inner) return std::nullopt;
    current = std::move(*inner);
  }
  return std::nullopt;
}

}  // namespace zentravo::lookup
