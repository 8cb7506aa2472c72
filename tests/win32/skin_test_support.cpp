#include "tests/win32/skin_test_support.h"

#include <algorithm>
#include <cstdlib>

namespace zentravo::skin_test {
namespace {

std::string UnixToWindows(const char* unixPath) {
  std::string path = std::string("Z:") + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : UnixToWindows(value);
}

void RemoveTree(const std::string& folder) {
  for (const std::string& name : FolderEntries(folder)) {
    std::string path = folder + "\\" + name;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      RemoveTree(path);
    } else {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
  }
  RemoveDirectoryA(folder.c_str());
}

void AppendU16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void AppendU32(std::string& out, std::uint32_t value) {
  AppendU16(out, value & 0xFFFF);
  AppendU16(out, value >> 16);
}

std::uint32_t Adler32(const std::string& bytes) {
  std::uint32_t a = 1, b = 0;
  for (unsigned char byte : bytes) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[65536];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof(buffer), &read, nullptr) != 0) && read > 0) {
    bytes.append(buffer, read);
  }
  CloseHandle(file);
  return ok;
}

std::string ReadWholeFile(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  return CloseHandle(file) && ok;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string FileIdentity(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  BY_HANDLE_FILE_INFORMATION info;
  std::string identity;
  if (GetFileInformationByHandle(file, &info)) {
    identity = std::to_string(info.nFileIndexHigh) + ":" + std::to_string(info.nFileIndexLow);
  }
  CloseHandle(file);
  return identity;
}

PlantedFile::PlantedFile(std::string path, const std::string& bytes) : path_(std::move(path)) {
  WriteWholeFile(path_, bytes);
}

PlantedFile::~PlantedFile() { DeleteFileA(path_.c_str()); }

HeldOpen::HeldOpen(const std::string& path)
    : file_(path.empty() ? INVALID_HANDLE_VALUE
                         : CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

HeldOpen::~HeldOpen() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

bool InSandbox() { return std::getenv("ZENTRAVO_SKIN_SANDBOX") != nullptr; }

std::string SandboxFolder() { return EnvironmentPath("ZENTRAVO_SKIN_SANDBOX"); }

std::string BinariesFolder() { return EnvironmentPath("ZENTRAVO_SKIN_BINARIES"); }

namespace {

std::string NewFolderIn(const std::string& parent, const std::string& stem) {
  static int counter = 0;
  for (;;) {
    std::string folder = parent + "\\" + stem + "-" + std::to_string(++counter);
    if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return folder;
  }
}

}  // namespace

std::string NewSandboxFolder(const std::string& stem) {
  std::string work = SandboxFolder() + "\\work";
  CreateDirectoryA(work.c_str(), nullptr);
  return NewFolderIn(work, stem);
}

std::string NewFolderOnDriveD(const std::string& stem) { return NewFolderIn("D:", stem); }

void GiveDriveD() { CreateDirectoryA((SandboxFolder() + "\\d").c_str(), nullptr); }

void TakeDriveDAway() { RemoveTree(SandboxFolder() + "\\d"); }

std::string ProbeBytes(const std::string& probe) {
  return ReadWholeFile(BinariesFolder() + "\\" + probe + ".dll");
}

bool PlaceProbe(const std::string& probe, const std::string& path) {
  return CopyFileA((BinariesFolder() + "\\" + probe + ".dll").c_str(), path.c_str(), FALSE) != 0;
}

std::vector<std::string> ProbeLog(const std::string& path) {
  std::vector<std::string> lines;
  std::string text = ReadWholeFile(path + ".log");
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string EncodeSkin(const std::vector<SkinRecord>& records, std::uint16_t version) {
  std::string area;
  for (const SkinRecord& record : records) {
    AppendU16(area, record.tag);
    AppendU16(area, static_cast<std::uint32_t>(record.payload.size()));
    area += record.payload;
  }
  std::string skin = ".SHE";
  AppendU16(skin, version);
  AppendU16(skin, static_cast<std::uint32_t>(records.size()));
  AppendU32(skin, static_cast<std::uint32_t>(area.size()));
  AppendU32(skin, Adler32(area));
  return skin + area;
}

std::string Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return std::string{static_cast<char>(red), static_cast<char>(green), static_cast<char>(blue)};
}

}  // namespace zentravo::skin_test
