#pragma once

#include <span>
#include <string>
#include <string_view>

#include "service/lookup_server.h"

namespace zentravo::lookup {

struct CommandLine {
  ServerSettings settings;
  bool showHelp = false;
  bool showVersion = false;
  std::string error;  // not empty: the arguments cannot be used; says why in one line
};

// Reads the service's options (the program name not included), each as
// "--name value" or "--name=value":
//   --address IP   address to listen on (default 127.0.0.1)
//   --port N       0..65535, 0 for any free port (default 443)
//   --cert FILE    server certificate chain, PEM (required)
//   --key FILE     its private key, PEM (required)
//   --threads N    1..64 worker threads (default: one per processor)
//   --connections-per-client N   1..65536 connections one client address may hold (default 64)
//   --help, -h     show the usage and stop (no other option is then required)
//   --version      show the version and stop (likewise)
// Unknown options, missing values, values out of range and a missing --cert or
// --key set error.
CommandLine ParseCommandLine(std::span<const std::string_view> arguments);

// The usage text that --help prints, ending with a newline.
std::string UsageText(std::string_view programName);

}  // namespace zentravo::lookup
