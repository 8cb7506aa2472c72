// WebRequest against a bare InternetReadFile loop, on the same 64 MiB body from the
// same loopback server, in one run. Both open the request with the same flags and
// read in chunks of 1,024 bytes, so the difference is what WebRequest adds: its
// header work and collecting the body. Each round runs both, back to back, and the
// fastest round of each decides.
//
// The server's port comes from ZENTRAVO_TEST_HTTP_PORT (bench/run-wininet-bench.sh
// starts the server). Exit status 0 when WebRequest's best time is at most
// kAllowedRatio times the bare loop's, 1 when it is slower, 2 when the run failed.

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/external_function.h"
#include "web/web_request.h"

namespace zentravo {
namespace {

constexpr std::size_t kBodySize = 64u << 20;
constexpr int kRounds = 11;
constexpr double kAllowedRatio = 1.15;

ExternalFunction<decltype(InternetOpenA)> g_InternetOpenA{"wininet.dll", "InternetOpenA"};
ExternalFunction<decltype(InternetConnectA)> g_InternetConnectA{"wininet.dll", "InternetConnectA"};
ExternalFunction<decltype(HttpOpenRequestA)> g_HttpOpenRequestA{"wininet.dll", "HttpOpenRequestA"};
ExternalFunction<decltype(HttpSendRequestA)> g_HttpSendRequestA{"wininet.dll", "HttpSendRequestA"};
ExternalFunction<decltype(InternetReadFile)> g_InternetReadFile{"wininet.dll", "InternetReadFile"};
ExternalFunction<decltype(InternetCloseHandle)> g_InternetCloseHandle{"wininet.dll",
                                                                      "InternetCloseHandle"};

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The same exchange without WebRequest: open, send, read 1,024 bytes at a time into
// one buffer and count them, close. Returns the number of bytes read.
std::size_t BareReadLoop(int port, const std::string& path) {
  HINTERNET internet = g_InternetOpenA(DefaultUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr,
                                       nullptr, 0);
  HINTERNET connection = g_InternetConnectA(internet, "127.0.0.1", static_cast<INTERNET_PORT>(port),
                                            nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = g_HttpOpenRequestA(
      connection, "GET", path.c_str(), "HTTP/1.1", nullptr, nullptr,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_NO_COOKIES |
          INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS,
      0);
  g_HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  std::size_t total = 0;
  char buffer[1024];
  for (;;) {
    DWORD count = 0;
    if (!g_InternetReadFile(request, buffer, sizeof buffer, &count) || count == 0) break;
    total += count;
  }
  g_InternetCloseHandle(request);
  g_InternetCloseHandle(connection);
  g_InternetCloseHandle(internet);
  return total;
}

bool BodyIsThePattern(const std::string& body) {
  if (body.size() != kBodySize) return false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (static_cast<unsigned char>(body[i]) != i % 251) return false;
  }
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Seconds of processor time this process has used, user and kernel.
double ProcessorSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) * 1e-7;
  };
  return seconds(kernel) + seconds(user);
}

struct Timing {
  double wall = 0;
  double processor = 0;
};

template <typename Work>
Timing Measure(Work work) {
  const double wall = Seconds();
  const double processor = ProcessorSeconds();
  work();
  return {Seconds() - wall, ProcessorSeconds() - processor};
}

int Run() {
  const char* portText = std::getenv("ZENTRAVO_TEST_HTTP_PORT");
  const int port = portText != nullptr ? std::atoi(portText) : 0;
  if (port <= 0) {
    std::fprintf(stderr, "ZENTRAVO_TEST_HTTP_PORT is not set: run bench/run-wininet-bench.sh\n");
    return 2;
  }
  const std::string path = "/bytes/" + std::to_string(kBodySize);
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;

  // Warm-up: binds the functions and lets the server build its body once.
  if (BareReadLoop(port, path) != kBodySize || !BodyIsThePattern(WebRequest(url).str())) {
    std::fprintf(stderr, "the server did not deliver the %zu-byte body\n", kBodySize);
    return 2;
  }

  std::vector<double> bareWall, requestWall, bareProcessor, requestProcessor, ratios;
  for (int round = 1; round <= kRounds; ++round) {
    std::size_t bareBytes = 0;
    std::size_t requestBytes = 0;
    auto bareRun = [&] { return Measure([&] { bareBytes = BareReadLoop(port, path); }); };
    auto requestRun = [&] { return Measure([&] { requestBytes = WebRequest(url).str().size(); }); };
    // Each goes first in every other round, so neither pays for what the other
    // leaves behind (the platform's cache file of the body, freed memory).
    Timing bare, request;
    if (round % 2 == 1) {
      bare = bareRun();
      request = requestRun();
    } else {
      request = requestRun();
      bare = bareRun();
    }
    if (bareBytes != kBodySize || requestBytes != kBodySize) {
      std::fprintf(stderr, "round %d: short body (%zu, %zu bytes)\n", round, bareBytes,
                   requestBytes);
      return 2;
    }
    bareWall.push_back(bare.wall);
    requestWall.push_back(request.wall);
    bareProcessor.push_back(bare.processor);
    requestProcessor.push_back(request.processor);
    ratios.push_back(request.wall / bare.wall);
    std::printf("round %d: bare loop %.3f s (cpu %.3f s), WebRequest %.3f s (cpu %.3f s), "
                "ratio %.3f\n",
                round, bare.wall, bare.processor, request.wall, request.processor,
                ratios.back());
  }

  const double mebibytes = static_cast<double>(kBodySize) / (1 << 20);
  const double bareBest = *std::min_element(bareWall.begin(), bareWall.end());
  const double requestBest = *std::min_element(requestWall.begin(), requestWall.end());
  // Other work on the machine only ever adds time, so the fastest round of each is
  // the closest to what the code itself costs; that ratio decides.
  const double ratio = requestBest / bareBest;
  std::printf("body %.0f MiB in reads of 1024 bytes, %d rounds\n", mebibytes, kRounds);
  std::printf("  bare InternetReadFile loop  best %.3f s (%.1f MiB/s), median %.3f s, cpu %.3f s\n",
              bareBest, mebibytes / bareBest, Median(bareWall), Median(bareProcessor));
  std::printf("  WebRequest                  best %.3f s (%.1f MiB/s), median %.3f s, cpu %.3f s\n",
              requestBest, mebibytes / requestBest, Median(requestWall), Median(requestProcessor));
  std::printf("  median of the rounds' ratios %.3f\n", Median(ratios));
  std::printf("  WebRequest / bare loop, best rounds: %.3f (allowed %.2f): %s\n", ratio,
              kAllowedRatio, ratio <= kAllowedRatio ? "ok" : "TOO SLOW");
  return ratio <= kAllowedRatio ? 0 : 1;
}

}  // namespace
}  // namespace zentravo

int main() { return zentravo::Run(); }
