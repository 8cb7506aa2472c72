#include "web/url.h"

namespace zentravo {
namespace {

constexpr bool kWithCase = true;     // ReplaceSubtext's flag: case-sensitive
constexpr bool kIgnoreCase = true;   // FindText's flag: ignore case

// Markers are typed inside quoted strings by the people who write them, so a
// quote inside a marker is spelled with this placeholder.
const Text kQuotePlaceholder = "#引号";

Text ReplaceQuotePlaceholder(const Text& marker) {
  return ReplaceSubtext(marker, kQuotePlaceholder, Text("\""), std::nullopt, std::nullopt,
                        kWithCase);
}

// Where the host of `url` begins, by the same cuts as UrlGetHost: after a leading
// "https://", else after the first "http://", else at the start.
int HostSearchStart(const Text& url) {
  if (CompareText(TextLeft(ToLowerCase(url), 8), "https://") == 0) return 9;
  const int http = FindText(url, "http://", 1, kIgnoreCase);
  return http == -1 ? 1 : http + 7;
}

}  // namespace

Text TextBetween(const Text& source, const Text& leftMarker, const Text& rightMarker,
                 int startPosition, bool caseSensitive) {
  const Text left = ReplaceQuotePlaceholder(leftMarker);
  const Text right = ReplaceQuotePlaceholder(rightMarker);
  const bool ignoreCase = !caseSensitive;

  int p = FindText(source, left, startPosition, ignoreCase);
  if (p == -1) return Text();
  p += TextLength(left);
  const int end = FindText(source, right, p, ignoreCase);
  if (end == -1) return Text();
  return TextMid(source, p, end - p);
}

Text HeaderValue(const Text& headerText) {
  const int colon = FindText(headerText, ":");
  if (colon == -1) return Text();
  return TrimBothEnds(TextRight(headerText, TextLength(headerText) - colon));
}

Text UrlGetHost(const Text& url, bool domainOnly, bool keepPort) {
  Text s = ToLowerCase(url);
  if (TextRight(s, 1) != Text("/")) s = ConcatText(s, "/");

  if (CompareText(TextLeft(s, 8), "https://") == 0) {
    s = TextBetween(s, "https://", "/");
  } else {
    if (FindText(s, "http://") == -1) s = ConcatText("http://", s);
    s = TextBetween(s, "http://", "/");
  }

  if (domainOnly) {
    const TextArray parts = SplitText(s, ".");
    const int count = ArrayCount(parts);
    if (count > 1) s = ConcatText(ArrayMember(parts, count - 1), ".", ArrayMember(parts, count));
  }

  if (keepPort) return s;
  const int colon = FindText(s, ":");
  return colon == -1 ? s : TextLeft(s, colon - 1);
}

int UrlGetPort(const Text& url) {
  const Text hostAndPort = UrlGetHost(url, false, true);
  const int colon = FindTextReverse(hostAndPort, ":");
  if (colon != -1) return ToInteger(TextRight(hostAndPort, TextLength(hostAndPort) - colon));
  return UrlIsHttps(url) ? 443 : 80;
}

bool UrlIsHttps(const Text& url) { return CompareText(TextLeft(ToLowerCase(url), 5), "https") == 0; }

Text UrlGetPath(const Text& url) {
  const Text host = UrlGetHost(url);
  // The search starts behind the scheme, or a host such as "h" or "s" would be
  // found inside "https://" and the path would begin at its slashes.
  const int hostAt = FindText(url, host, HostSearchStart(url), kIgnoreCase);
  const int slash = FindText(url, "/", hostAt, kIgnoreCase);
  if (slash == -1) return Text("/");
  return TextRight(url, TextLength(url) - slash + 1);
}

}  // namespace zentravo
