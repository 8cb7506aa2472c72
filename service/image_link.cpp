#include "service/image_link.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

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

std::string_view FirstSegment(std::string_view path) {
  if (path.starts_with('/')) path.remove_prefix(1);
  return path.substr(0, path.find('/'));
}

// Whether host is label + ".sinaimg.cn" (any case, a final "." allowed); label
// is then what stands before the domain.
bool IsSinaImgHost(std::string_view host, std::string_view* label) {
  if (host.ends_with('.')) host.remove_suffix(1);
  constexpr std::string_view kDomain = ".sinaimg.cn";
  if (host.size() <= kDomain.size() ||
      !EqualsIgnoringCase(host.substr(host.size() - kDomain.size()), kDomain)) {
    return false;
  }
  *label = host.substr(0, host.size() - kDomain.size());
  return true;
}

// Whether label is one of families followed by one digit from first to last.
bool IsNumberedLabel(std::string_view label, std::span<const std::string_view> families, char first, char last) {
  if (label.size() < 2) return false;
  const char number = label.back();
  if (number < first || number > last) return false;
  const std::string_view family = label.substr(0, label.size() - 1);
  for (std::string_view known : families) {
    if (EqualsIgnoringCase(family, known)) return true;
  }
  return false;
}

bool IsKnownHost(std::string_view host) { return IsWeiboImageHost(host) || IsWeiboAvatarHost(host); }

// The value of the first "url" or "src" parameter of query, escapes undone.
// Image proxies carry the original link in one of the two.
std::optional<std::string> LinkParameter(std::string_view query) {
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const std::size_t equals = pair.find('=');
    const std::string_view key = pair.substr(0, equals);
    if (equals != std::string_view::npos && (EqualsIgnoringCase(key, "url") || EqualsIgnoringCase(key, "src"))) {
      return PercentDecode(pair.substr(equals + 1));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return std::nullopt;
}

// The part of path from its first segment that is a Weibo image or avatar host.
std::optional<std::string> ImageInsidePath(std::string_view path) {
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (IsKnownHost(path.substr(start, end - start))) return std::string(path.substr(start));
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
  std::string_view label;
  if (!IsSinaImgHost(host, &label)) return false;
  if (EqualsIgnoringCase(label, "lz")) return true;
  constexpr std::array<std::string_view, 5> kFamilies = {"ww", "wx", "ws", "tva", "tvax"};
  return IsNumberedLabel(label, kFamilies, '1', '4');
}

bool IsWeiboAvatarHost(std::string_view host) {
  std::string_view label;
  if (!IsSinaImgHost(host, &label)) return false;
  constexpr std::array<std::string_view, 1> kOldAvatar = {"tp"};
  constexpr std::array<std::string_view, 1> kOldPicture = {"p"};
  return IsNumberedLabel(label, kOldAvatar, '1', '4') || IsNumberedLabel(label, kOldPicture, '1', '8');
}

std::optional<WeiboImage> FindWeiboImage(std::string_view link) {
  std::string current(link);
  for (int wrapping = 0; wrapping <= kMaxWrappings; ++wrapping) {
    const LinkParts parts = SplitLink(current);
    if (IsWeiboImageHost(parts.host)) {
      return WeiboImage{WeiboImage::Kind::kFileName, std::string(LastSegment(parts.path))};
    }
    if (IsWeiboAvatarHost(parts.host)) {
      return WeiboImage{WeiboImage::Kind::kAvatarUid, std::string(FirstSegment(parts.path))};
    }

    std::optional<std::string> inner = LinkParameter(parts.query);
    if (!inner) inner = ImageInsidePath(parts.path);
    if (!inner) return std::nullopt;
    current = std::move(*inner);
  }
  return std::nullopt;
}

std::optional<std::string> FindImageFileName(std::string_view link) {
  std::optional<WeiboImage> image = FindWeiboImage(link);
  if (!image || image->kind != WeiboImage::Kind::kFileName) return std::nullopt;
  return std::move(image->segment);
}

}  // namespace zentravo::lookup
