#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "service/lookup_answer.h"

namespace zentravo::lookup {

// One file of the lookup page, embedded in the program at build time from
// service/web/ (see cmake/embed_web_files.cmake).
struct WebFile {
  std::string_view path;         // the URL path it is served at: "/" for index.html
  std::string_view contentType;
  std::string_view entityTag;    // quoted, as the ETag field carries it
  std::string_view body;
};

// The page's files, in the order they were embedded.
std::span<const WebFile> WebFiles();

// The Content-Security-Policy of every page file: the service's own scripts, styles,
// images and API only; no inline script or style, no frames, no form posts.
inline constexpr std::string_view kPageSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// Answers a request for one of the page's files; nothing when path (without query)
// names none. GET and HEAD get the file, with its content type, the security
// policy, "nosniff" and "no-cache" with an entity tag, so that browsers ask again
// each time and get 304 with no body while the file is unchanged; ifNoneMatch is
// the request's If-None-Match field (empty when absent). Other methods get 405.
std::optional<Answer> AnswerWebFile(std::string_view method, std::string_view path, std::string_view ifNoneMatch);

}  // namespace zentravo::lookup
