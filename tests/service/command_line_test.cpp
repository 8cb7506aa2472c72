#include "service/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace zentravo::lookup {
namespace {

TEST(ParseCommandLine, ReadsEachOptionInBothForms) {
  const std::vector<std::string_view> arguments = {"--address", "::1",        "--port=8443", "--cert", "c.pem",
                                                   "--key=k.pem", "--threads", "3", "--connections-per-client=8"};
  const CommandLine line = ParseCommandLine(arguments);
  EXPECT_EQ(line.error, "");
  EXPECT_FALSE(line.showHelp);
  EXPECT_EQ(line.settings.address, "::1");
  EXPECT_EQ(line.settings.port, 8443);
  EXPECT_EQ(line.settings.certificateFile, "c.pem");
  EXPECT_EQ(line.settings.keyFile, "k.pem");
  EXPECT_EQ(line.settings.threads, 3);
  EXPECT_EQ(line.settings.maxConnectionsPerClient, 8u);
}

TEST(ParseCommandLine, DefaultsToLoopbackOnTheHttpsPort) {
  const std::vector<std::string_view> arguments = {"--cert", "c.pem", "--key", "k.pem"};
  const CommandLine line = ParseCommandLine(arguments);
  EXPECT_EQ(line.error, "");
  EXPECT_EQ(line.settings.address, "127.0.0.1");
  EXPECT_EQ(line.settings.port, 443);
  EXPECT_EQ(line.settings.threads, 0);
  EXPECT_EQ(line.settings.maxConnectionsPerClient, 64u);
}

TEST(ParseCommandLine, HelpAndVersionNeedNothingElse) {
  for (std::string_view option : {"--help", "-h", "--version"}) {
    SCOPED_TRACE(std::string(option));
    const std::vector<std::string_view> arguments = {option};
    const CommandLine line = ParseCommandLine(arguments);
    EXPECT_EQ(line.showHelp, option != "--version");
    EXPECT_EQ(line.showVersion, option == "--version");
    EXPECT_EQ(line.error, "");
  }
}

TEST(ParseCommandLine, RefusesWhatItCannotUse) {
  struct Row {
    std::vector<std::string_view> arguments;
    std::string_view error;
  } rows[] = {
      {{}, "--cert is required"},
      {{"--cert", "c.pem"}, "--key is required"},
      {{"--key", "k.pem", "--cert"}, "missing value after --cert"},
      {{"--cert", "c", "--key", "k", "--bogus"}, "unknown option: --bogus"},
      {{"--cert", "c", "--key", "k", "extra"}, "unknown option: extra"},
      {{"--cert", "c", "--key", "k", "--port", "65536"}, "--port wants a number from 0 to 65535, not '65536'"},
      {{"--cert", "c", "--key", "k", "--port=-1"}, "--port wants a number from 0 to 65535, not '-1'"},
      {{"--cert", "c", "--key", "k", "--port", "44x"}, "--port wants a number from 0 to 65535, not '44x'"},
      {{"--cert", "c", "--key", "k", "--port="}, "--port wants a number from 0 to 65535, not ''"},
      {{"--cert", "c", "--key", "k", "--threads", "0"}, "--threads wants a number from 1 to 64, not '0'"},
      {{"--cert", "c", "--key", "k", "--threads", "65"}, "--threads wants a number from 1 to 64, not '65'"},
      {{"--cert", "c", "--key", "k", "--connections-per-client", "0"},
       "--connections-per-client wants a number from 1 to 65536, not '0'"},
  };
  for (const Row& row : rows) {
    std::string trace;
    for (std::string_view argument : row.arguments) trace += std::string(argument) + " ";
    SCOPED_TRACE(trace);
    EXPECT_EQ(ParseCommandLine(row.arguments).error, row.error);
  }
}

TEST(UsageText, NamesTheProgramAndEveryOption) {
  const std::string usage = UsageText("zentravo-lookup-service");
  EXPECT_TRUE(usage.starts_with("Usage: zentravo-lookup-service "));
  for (std::string_view option : {"--address", "--port", "--cert", "--key", "--threads", "--help", "--version"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace zentravo::lookup
