#include "service/command_line.h"

#include <charconv>
#include <optional>

namespace zentravo::lookup {
namespace {

std::optional<int> ParseNumber(std::string_view text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, problem] = std::from_chars(text.data(), end, value);
  if (text.empty() || problem != std::errc() || stop != end || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string_view> arguments) {
  CommandLine result;
  ServerSettings& settings = result.settings;
  auto fail = [&result](std::string message) {
    result.error = std::move(message);
    return result;
  };

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view name = arguments[i];
    if (name == "--help" || name == "-h") {
      result.showHelp = true;
      continue;
    }
    if (name == "--version") {
      result.showVersion = true;
      continue;
    }
    std::optional<std::string_view> value;
    if (const std::size_t equals = name.find('='); name.starts_with("--") && equals != std::string_view::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (name != "--address" && name != "--port" && name != "--cert" && name != "--key" &&
        name != "--threads" && name != "--connections-per-client") {
      return fail("unknown option: " + std::string(arguments[i]));
    }
    if (!value) {
      if (i + 1 >= arguments.size()) return fail("missing value after " + std::string(name));
      value = arguments[++i];
    }

    if (name == "--address") {
      settings.address = std::string(*value);
    } else if (name == "--port") {
      const std::optional<int> port = ParseNumber(*value, 0, 65535);
      if (!port) return fail("--port wants a number from 0 to 65535, not '" + std::string(*value) + "'");
      settings.port = static_cast<std::uint16_t>(*port);
    } else if (name == "--cert") {
      settings.certificateFile = std::string(*value);
    } else if (name == "--key") {
      settings.keyFile = std::string(*value);
    } else if (name == "--connections-per-client") {
      const std::optional<int> share = ParseNumber(*value, 1, 65536);
      if (!share) {
        return fail("--connections-per-client wants a number from 1 to 65536, not '" + std::string(*value) + "'");
      }
      settings.maxConnectionsPerClient = static_cast<std::size_t>(*share);
    } else {
      const std::optional<int> threads = ParseNumber(*value, 1, 64);
      if (!threads) return fail("--threads wants a number from 1 to 64, not '" + std::string(*value) + "'");
      settings.threads = *threads;
    }
  }

  if (result.showHelp || result.showVersion) return result;
  if (settings.certificateFile.empty()) return fail("--cert is required");
  if (settings.keyFile.empty()) return fail("--key is required");
  return result;
}

std::string UsageText(std::string_view programName) {
  std::string usage = "Usage: ";
  usage += programName;
  usage +=
      " --cert FILE --key FILE [--address IP] [--port N] [--threads N]\n"
      "\n"
      "Answers Zentravo's lookups over HTTPS: GET or POST /weibo/brellik.php?url=LINK\n"
      "gives the UID of the account that posted the Weibo image at LINK, as text.\n"
      "\n"
      "  --address IP   address to listen on (default 127.0.0.1)\n"
      "  --port N       port to listen on, 0 for any free one (default 443)\n"
      "  --cert FILE    server certificate chain, PEM\n"
      "  --key FILE     private key of the certificate, PEM\n"
      "  --threads N    worker threads, 1 to 64 (default: one per processor)\n"
      "  --connections-per-client N\n"
      "                 connections one client address may hold, 1 to 65536 (default 64)\n"
      "  --help         show this text\n"
      "  --version      show the version\n"
      "\n"
      "GET /healthz answers 200 while the service accepts connections.\n"
      "Prints \"listening on https://IP:PORT\" once it listens, and one line per request\n"
      "on standard error. SIGHUP loads the certificate and key again; SIGTERM or SIGINT\n"
      "stops accepting, finishes the requests under way and exits.\n";
  return usage;
}

}  // namespace zentravo::lookup
