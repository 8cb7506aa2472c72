#pragma once

// Cutting values out of header text and splitting an address into host, port and
// object path. These are deliberately not full parsers: each routine takes a few
// fixed cuts (scheme prefix, first "/", first or last colon, last two dot-separated
// parts), and the results below follow from exactly those cuts. No state; no
// argument is changed.

#include "text/text.h"

namespace zentravo {

// The part of `source` strictly between the first `leftMarker` found at or after
// `startPosition` (below 1: from the first byte) and the first `rightMarker` after
// it; empty when either marker is missing or the two touch. In both markers every
// "#引号" (bytes 23 D2 FD BA C5) stands for one double-quote character, so markers
// can carry quotes. Letter case is ignored in both searches unless `caseSensitive`.
Text TextBetween(const Text& source, const Text& leftMarker, const Text& rightMarker,
                 int startPosition = 0, bool caseSensitive = false);

// What follows the first ":" of `headerText`, trimmed of spaces; empty when there
// is no colon. 'a: b: c' gives 'b: c'.
Text HeaderValue(const Text& headerText);

// The host of `url`, lowered: what lies between the scheme and the first "/" after
// it. "https://" is recognised only at the start, "http://" anywhere; without
// either the address is taken as host first. `domainOnly` keeps the last two
// dot-separated parts (a port stays attached until it is cut); the port and its
// colon are cut at the first ":" unless `keepPort`. An empty url gives "".
Text UrlGetHost(const Text& url, bool domainOnly = false, bool keepPort = false);

// The number after the last ":" of the host (with port) of `url`, as ToInteger
// reads it ('host:' gives 0); without a colon 443 when `url` starts with "https" in
// any letter case, else 80.
int UrlGetPort(const Text& url);

// Whether `url` starts with "https" in any letter case: what selects port 443 and
// a secure request. Only the first five bytes are looked at.
bool UrlIsHttps(const Text& url);

// The rest of `url` from the first "/" after its host, query included, in the
// letter case of `url`; "/" when there is none.
Text UrlGetPath(const Text& url);

}  // namespace zentravo
