// zentravo-lookup-service: the HTTPS lookup service that Zentravo.exe asks for UIDs.

#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <pthread.h>
#include <sys/resource.h>

#include "service/command_line.h"
#include "service/lookup_server.h"

int main(int argc, char** argv) {
  using namespace zentravo::lookup;
  const std::string_view programName = argc > 0 ? argv[0] : "zentravo-lookup-service";
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);

  const CommandLine commandLine = ParseCommandLine(arguments);
  if (commandLine.showHelp) {
    std::fputs(UsageText(programName).c_str(), stdout);
    return 0;
  }
  if (!commandLine.error.empty()) {
    std::fprintf(stderr, "%s: %s\n%s", programName.data(), commandLine.error.c_str(),
                 UsageText(programName).c_str());
    return 2;
  }

  // The worker threads inherit this mask, so SIGINT and SIGTERM reach only sigwait below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  // Each connection holds a descriptor; take all the system allows.
  rlimit descriptors{};
  if (getrlimit(RLIMIT_NOFILE, &descriptors) == 0 && descriptors.rlim_cur < descriptors.rlim_max) {
    descriptors.rlim_cur = descriptors.rlim_max;
    setrlimit(RLIMIT_NOFILE, &descriptors);
  }

  std::string error;
  std::unique_ptr<LookupServer> server = LookupServer::Start(commandLine.settings, &error);
  if (!server) {
    std::fprintf(stderr, "%s: %s\n", programName.data(), error.c_str());
    return 1;
  }
  const bool ipv6 = commandLine.settings.address.find(':') != std::string::npos;
  std::printf("listening on https://%s%s%s:%u\n", ipv6 ? "[" : "", commandLine.settings.address.c_str(),
              ipv6 ? "]" : "", static_cast<unsigned>(server->port()));
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  server->Stop();
  return 0;
}
