// zentravo-lookup-service: the HTTPS lookup service that Zentravo.exe asks for UIDs.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <pthread.h>
#include <sys/resource.h>

#include "service/command_line.h"
#include "service/lookup_server.h"
#include "zentravo/version.h"

int main(int argc, char** argv) {
  using namespace zentravo::lookup;
  const std::string_view programName = argc > 0 ? argv[0] : "zentravo-lookup-service";
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);

  CommandLine commandLine = ParseCommandLine(arguments);
  if (commandLine.showVersion && !commandLine.showHelp) {
    std::fputs("zentravo-lookup-service " ZENTRAVO_VERSION "\n", stdout);
    return 0;
  }
  if (commandLine.showHelp) {
    std::fputs(UsageText(programName).c_str(), stdout);
    return 0;
  }
  if (!commandLine.error.empty()) {
    std::fprintf(stderr, "%s: %s\n%s", programName.data(), commandLine.error.c_str(),
                 UsageText(programName).c_str());
    return 2;
  }

  // The worker threads inherit this mask, so these signals reach only sigwait below.
  sigset_t handledSignals;
  sigemptyset(&handledSignals);
  sigaddset(&handledSignals, SIGINT);
  sigaddset(&handledSignals, SIGTERM);
  sigaddset(&handledSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &handledSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  // Each connection holds a descriptor; take all the system allows.
  rlimit descriptors{};
  if (getrlimit(RLIMIT_NOFILE, &descriptors) == 0 && descriptors.rlim_cur < descriptors.rlim_max) {
    descriptors.rlim_cur = descriptors.rlim_max;
    setrlimit(RLIMIT_NOFILE, &descriptors);
  }

  // The journal (or whoever reads standard error) gets one line per request.
  commandLine.settings.requestLog = stderr;
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

  for (;;) {
    int received = 0;
    if (sigwait(&handledSignals, &received) != 0) continue;
    if (received != SIGHUP) break;
    // A renewed certificate: new connections get it, open ones keep theirs.
    if (server->ReloadCertificate(&error)) {
      std::fprintf(stderr, "%s: loaded the certificate %s again\n", programName.data(),
                   commandLine.settings.certificateFile.c_str());
    } else {
      std::fprintf(stderr, "%s: kept the certificate in use: %s\n", programName.data(), error.c_str());
    }
  }

  // Every request under way is bounded by the request timeout; past that and a
  // little more, whatever is left is cut off.
  const auto drainLimit = commandLine.settings.requestTimeout + std::chrono::seconds(5);
  if (!server->Drain(std::chrono::duration_cast<std::chrono::milliseconds>(drainLimit))) {
    std::fprintf(stderr, "%s: closed connections still open after %lld s\n", programName.data(),
                 static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(drainLimit).count()));
  }
  return 0;
}
