#pragma once

// How much of one request the server will hold, and how it answers a request
// that outgrows it. Every byte a client sends is buffered before it is parsed, so
// each part of a request has a ceiling: without one a single connection could
// make the server hold gigabytes.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zentravo::lookup {

// Request line and header fields. The program's header block repeats the whole
// address as its Referer, so this holds twice the longest target and then some.
inline constexpr std::uint32_t kHeaderLimit = 64 * 1024;
// Lookups carry no body; a little is tolerated, more is refused.
inline constexpr std::uint64_t kBodyLimit = 8 * 1024;
// One chunk-size line with its extensions, or the whole trailer section: what the
// parser waits for in one piece once the header is read.
inline constexpr std::size_t kChunkFramingLimit = 8 * 1024;
// Everything of one request together (request line, header, chunk lines, chunk
// data, trailers), for a path whose body may reach bodyLimit: room for a full
// header and a full body framed in small chunks.
constexpr std::uint64_t RequestLimit(std::uint64_t bodyLimit) { return kHeaderLimit + bodyLimit + 32 * 1024; }

// The status for a chunked body whose framing outgrew its limit, judged from the
// bytes the parser has not yet consumed (they start at the chunk-size line it
// waits for, maybe after the CRLF that ends the previous chunk's data): 431 when
// that line is complete and is the last chunk ("0"), so that what outgrew the
// limit is the trailer section; 413 otherwise (a chunk line, extensions included).
int OversizedChunkFramingStatus(std::string_view unparsed);

}  // namespace zentravo::lookup
