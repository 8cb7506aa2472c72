// zentravo-uid: the lookup service's UID reading on the command line.

#include <iostream>
#include <string_view>
#include <vector>

#include "service/uid_command.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return zentravo::lookup::RunUidCommand(arguments, std::cin, std::cout, std::cerr);
}
