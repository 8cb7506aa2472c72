#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zentravo::lookup {

// The pieces of a link in the forms people paste: "https://host/path?query#frag",
// "//host/path", "host/path", any scheme of letters, digits, "+", "-" and ".".
struct LinkParts {
  std::string_view host;   // as written, without user info ("x@") and without ":port"
  std::string_view path;   // from the first "/" after the host to "?" or "#"; may be empty
  std::string_view query;  // after the first "?" of the rest, to the first "#" after it
};

// Splits link into its pieces; views point into link. Never fails: text that is
// no link at all comes back as a host of some sort with an empty path.
LinkParts SplitLink(std::string_view link);

// True for the hosts that serve Weibo images named after their poster: ww1-4,
// wx1-4, ws1-4, tva1-4, tvax1-4 and lz under ".sinaimg.cn", in any letter case,
// with or without a final ".".
bool IsWeiboImageHost(std::string_view host);

// True for the old avatar hosts, whose links carry the UID itself as the first
// path segment: tp1-4 and p1-8 under ".sinaimg.cn", same spelling rules.
bool IsWeiboAvatarHost(std::string_view host);

// Where a link's UID is to be read.
struct WeiboImage {
  enum class Kind {
    kFileName,   // an image: the UID is encoded in the start of its file name
    kAvatarUid,  // an old avatar link: the UID in decimal digits
  };
  Kind kind = Kind::kFileName;
  // kFileName: the last segment of the path (after the last "/", before "?" or
  // "#"; empty when the path is empty or ends in "/"). kAvatarUid: the first
  // segment of the path (empty when there is none).
  std::string segment;
};

// Finds the Weibo image a pasted link points at. The link is taken as it is,
// escapes already undone:
// - a link on a Weibo image or avatar host is the image itself;
// - a link on another host is an image proxy when its query has a "url" or "src"
//   parameter (key in any letter case; value up to the next "&", percent-escapes
//   undone once more; the first such parameter counts) or its path has a segment
//   that is a Weibo image or avatar host (the image is that segment and the rest
//   of the path); that inner link is read the same way, at most 4 times.
// Nothing: the link leads to no Weibo host that names a UID.
std::optional<WeiboImage> FindWeiboImage(std::string_view link);

// The file name of the image FindWeiboImage finds; nothing for avatar links and
// links that lead to no Weibo image.
std::optional<std::string> FindImageFileName(std::string_view link);

}  // namespace zentravo::lookup
