#include "service/uid_command.h"

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include <zentravo/version.h>

#include "service/batch_lookup.h"
#include "service/lookup_answer.h"

namespace zentravo::lookup {
namespace {

constexpr std::string_view kProgram = "zentravo-uid";

constexpr std::string_view kUsage =
    "Usage: zentravo-uid [--json] [LINK...]\n"
    "Prints the UID of the Weibo account that posted each image link, read from the\n"
    "link itself, with no network. The links are the arguments or, when there are\n"
    "none, the lines of standard input (blank lines are skipped).\n"
    "\n"
    "Each link gives one line \"UID<TAB>link\", in input order; a link that cannot be\n"
    "read gives its reason on standard error instead.\n"
    "\n"
    "  --json      print one JSON array instead, as POST /api/uids answers:\n"
    "              {\"link\":...,\"uid\":\"...\"} or {\"link\":...,\"error\":\"...\"} per link\n"
    "  --help      show this help\n"
    "  --version   show the version\n"
    "\n"
    "Exit status: 0 when every link was read, 1 when some were not, 2 on bad usage.\n";

// Writes each result as it comes, so a long input flows through a pipe.
class ResultWriter {
 public:
  ResultWriter(bool json, std::ostream& out, std::ostream& err) : json_(json), out_(out), err_(err) {
    if (json_) out_ << '[';
  }

  void Write(std::string_view link) {
    const Answer answer = AnswerLink(link);
    if (answer.status != 200) allRead_ = false;
    if (json_) {
      if (count_ > 0) out_ << ',';
      out_ << LinkResultJson(link, answer);
    } else if (answer.status == 200) {
      out_ << answer.body << '\t' << link << '\n';
    } else {
      err_ << kProgram << ": " << link << ": " << answer.body << '\n';
    }
    ++count_;
  }

  int Finish() {
    if (json_) out_ << "]\n";
    out_.flush();
    return allRead_ ? 0 : 1;
  }

 private:
  const bool json_;
  std::ostream& out_;
  std::ostream& err_;
  std::size_t count_ = 0;
  bool allRead_ = true;
};

std::string_view TrimLine(std::string_view line) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!line.empty() && isSpace(line.front())) line.remove_prefix(1);
  while (!line.empty() && isSpace(line.back())) line.remove_suffix(1);
  return line;
}

}  // namespace

int RunUidCommand(std::span<const std::string_view> arguments, std::istream& in, std::ostream& out,
                  std::ostream& err) {
  bool json = false;
  std::vector<std::string_view> links;
  bool optionsEnded = false;
  for (std::string_view argument : arguments) {
    if (optionsEnded || !argument.starts_with("-")) {
      links.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--json") {
      json = true;
    } else if (argument == "--help" || argument == "-h") {
      out << kUsage;
      return 0;
    } else if (argument == "--version") {
      out << kProgram << ' ' << ZENTRAVO_VERSION << '\n';
      return 0;
    } else {
      err << kProgram << ": unknown option " << argument << "\n" << kUsage;
      return 2;
    }
  }

  ResultWriter writer(json, out, err);
  if (!links.empty()) {
    for (std::string_view link : links) writer.Write(link);
  } else {
    std::string line;
    while (std::getline(in, line)) {
      const std::string_view link = TrimLine(line);
      if (!link.empty()) writer.Write(link);
    }
  }
  return writer.Finish();
}

}  // namespace zentravo::lookup
