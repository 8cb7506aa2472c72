#pragma once

// Reading the resources of an executable file without running it.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace zentravo::e2e {

// The bytes of resource `name` of `type` in the module file `path` (loaded as a
// data file only); nullopt when the file or the resource is missing.
std::optional<std::string> ReadResource(const std::string& path, LPCSTR name, LPCSTR type);

struct IconImage {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
};

// The images of icon group `name` in `path`, as the group directory lists them
// and as each image's own header confirms; nullopt when the group or one of its
// images is missing or unreadable.
std::optional<std::vector<IconImage>> ReadIconGroup(const std::string& path, LPCSTR name);

}  // namespace zentravo::e2e
