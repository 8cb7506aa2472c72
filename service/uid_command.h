#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

namespace zentravo::lookup {

// zentravo-uid: reads the UID of the account behind each Weibo image link, with the
// service's own decoding (AnswerLink) and no network.
//
// The links are the arguments, or, when there are none, the lines of input
// (spaces and tabs around a line, its CR and blank lines are dropped). For each
// link in order, "UID<TAB>link" goes to out; a link that cannot be read gives
// "zentravo-uid: LINK: REASON" on err instead. With --json, out gets one JSON
// array instead, exactly as POST /api/uids would answer for the same links, and
// err nothing. "--" ends the options. --help and --version print to out.
//
// Returns the exit status: 0 when every link was read, 1 when some were not, 2 on
// bad usage (an unknown option; the usage goes to err).
int RunUidCommand(std::span<const std::string_view> arguments, std::istream& in, std::ostream& out,
                  std::ostream& err);

}  // namespace zentravo::lookup
