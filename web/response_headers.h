#pragma once

// What the raw response headers of a request tell its caller: where a redirection
// points and which cookies the response set. Not a full header parser: each line
// is tested for the two texts anywhere in it, as WebRequest has always done.

#include "text/text.h"

namespace zentravo {

struct ResponseHeaderScan {
  // The value (HeaderValue) of the last line that contains "Location:" (letter
  // case kept, anywhere in the line); without one the incoming value; when that
  // is empty too, the whole header text.
  Text redirectLocation;
  // The cookies of the lines that contain "Set-Cookie" (letter case kept), in
  // order, joined by "; ": of each, the text after "Set-Cookie:" (any letter
  // case) up to the first ";" or the end of the line, trimmed. A line that gives
  // no such text adds no item, not even an empty one. Empty when none.
  Text returnedCookies;
};

// Scans `headers`, lines separated by CR LF, with `redirectLocation` as the value
// the caller held before the request.
ResponseHeaderScan ScanResponseHeaders(const Text& headers, const Text& redirectLocation);

}  // namespace zentravo
