// libFuzzer target: any bytes as an address for UrlGetHost (every option),
// UrlGetPort, UrlGetPath and HeaderValue. Besides crashes and sanitizer reports it
// checks what follows from the few fixed cuts these routines make.

#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "web/url.h"

using zentravo::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zentravo;
  const Text url(fuzz::AsText(data, size));  // up to the first zero byte
  const std::string& raw = url.str();

  // Every host is cut out of the lowered address, behind a "http://" that may have
  // been put in front and before a "/" that may have been appended.
  const std::string around = "http://" + ToLowerCase(url).str() + "/";
  for (bool domainOnly : {false, true}) {
    const std::string withPort = UrlGetHost(url, domainOnly, true).str();
    const std::string host = UrlGetHost(url, domainOnly, false).str();
    Check(around.find(withPort) != std::string::npos, "the host is a piece of the address");
    Check(withPort.starts_with(host), "cutting the port keeps the start of the host");
  }

  const int port = UrlGetPort(url);
  if (UrlGetHost(url, false, true).str().find(':') == std::string::npos) {
    Check(port == (UrlIsHttps(url) ? 443 : 80), "without a port the scheme's default");
  }

  const std::string path = UrlGetPath(url).str();
  Check(path.starts_with('/'), "the path begins with /");
  Check(path == "/" || raw.ends_with(path), "the path is the end of the address");

  const std::string value = HeaderValue(url).str();
  Check(raw.find(value) != std::string::npos, "a header value is a piece of its line");
  return 0;
}
