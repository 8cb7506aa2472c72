#include "web/response_headers.h"

#include <string>
#include <utility>

#include "web/url.h"

namespace zentravo {
namespace {

constexpr bool kIgnoreCase = true;  // FindText's flag

const Text kSetCookieMarker = "Set-Cookie:";

// The cookie a Set-Cookie line sets: from "Set-Cookie:" (any letter case) to the
// first ";" after it or, without one, to the end of the line; trimmed. Empty when
// the line has no "Set-Cookie:".
Text SetCookiePiece(const Text& line) {
  Text piece = TextBetween(line, kSetCookieMarker, ";");
  if (piece.empty()) {
    const int at = FindText(line, kSetCookieMarker, std::nullopt, kIgnoreCase);
    const int valueAt = at + TextLength(kSetCookieMarker);
    if (at != -1 && FindText(line, ";", valueAt) == -1) {
      piece = TextRight(line, TextLength(line) - valueAt + 1);
    }
  }
  return TrimBothEnds(piece);
}

}  // namespace

ResponseHeaderScan ScanResponseHeaders(const Text& headers, const Text& redirectLocation) {
  Text redirect = redirectLocation;
  std::string collected;
  const TextArray lines = SplitText(headers, "\r\n");
  for (const Text& line : lines.members()) {
    // Both tests keep letter case and match anywhere in the line.
    if (FindText(line, "Location:") != -1) redirect = HeaderValue(line);
    if (FindText(line, "Set-Cookie") != -1) {
      const Text piece = SetCookiePiece(line);
      if (piece.empty()) continue;  // no cookie here, and no empty item for it
      collected += piece.str();
      collected += "; ";
    }
  }
  const int collectedLength = static_cast<int>(collected.size());
  Text cookies = TextLeft(Text(std::move(collected)), collectedLength - 2);
  if (redirect.empty()) redirect = headers;
  return {std::move(redirect), std::move(cookies)};
}

}  // namespace zentravo
