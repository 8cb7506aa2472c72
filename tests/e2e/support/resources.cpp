#include "tests/e2e/support/resources.h"

#include <cstring>
#include <vector>

#include "runtime/scoped_win.h"

namespace zentravo::e2e {
namespace {

#pragma pack(push, 2)
struct GroupIconHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
struct GroupIconEntry {
  BYTE width;
  BYTE height;
  BYTE colorCount;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytesInResource;
  WORD id;
};
#pragma pack(pop)

std::optional<std::string> ReadFromModule(HMODULE module, LPCSTR name, LPCSTR type) {
  HRSRC found = FindResourceA(module, name, type);
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::string(static_cast<const char*>(bytes), SizeofResource(module, found));
}

// A dimension byte of an icon directory: 0 stands for 256.
int IconDimension(BYTE value) { return value == 0 ? 256 : value; }

}  // namespace

std::optional<std::string> ReadResource(const std::string& path, LPCSTR name, LPCSTR type) {
  ScopedModule module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return std::nullopt;
  return ReadFromModule(module.Get(), name, type);
}

std::optional<std::vector<IconImage>> ReadIconGroup(const std::string& path, LPCSTR name) {
  ScopedModule module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return std::nullopt;
  std::optional<std::string> group = ReadFromModule(module.Get(), name, RT_GROUP_ICON);
  if (!group || group->size() < sizeof(GroupIconHeader)) return std::nullopt;
  GroupIconHeader header;
  std::memcpy(&header, group->data(), sizeof header);
  if (group->size() < sizeof header + header.count * sizeof(GroupIconEntry)) return std::nullopt;

  std::vector<IconImage> images;
  for (WORD i = 0; i < header.count; ++i) {
    GroupIconEntry entry;
    std::memcpy(&entry, group->data() + sizeof header + i * sizeof entry, sizeof entry);
    std::optional<std::string> image = ReadFromModule(module.Get(), MAKEINTRESOURCEA(entry.id), RT_ICON);
    if (!image) return std::nullopt;
    IconImage described{IconDimension(entry.width), IconDimension(entry.height), entry.bitCount};
    // The image itself: a bitmap header (height counts the mask rows too) or a PNG.
    if (image->size() >= sizeof(BITMAPINFOHEADER) && image->compare(1, 3, "PNG") != 0) {
      BITMAPINFOHEADER bitmap;
      std::memcpy(&bitmap, image->data(), sizeof bitmap);
      if (bitmap.biWidth != described.width || bitmap.biHeight != 2 * described.height ||
          bitmap.biBitCount != described.bitsPerPixel) {
        return std::nullopt;
      }
    }
    images.push_back(described);
  }
  return images;
}

}  // namespace zentravo::e2e
