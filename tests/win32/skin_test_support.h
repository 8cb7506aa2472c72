#pragma once

// What the tests of the window skin share: files and folders, the sandbox
// that skin_sandbox.sh prepares, the probe libraries, and building skin data.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zentravo::skin_test {

// ---- Files ----

// The whole file; false (or an empty string) when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
std::string ReadWholeFile(const std::string& path);
// Writes `bytes` to `path` directly (not through the module under test).
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
// Names in `folder`, without "." and "..", sorted.
std::vector<std::string> FolderEntries(const std::string& folder);
// The file's identity (its index on the volume): a file replaced by another, even
// with the same bytes, gets a new one.
std::string FileIdentity(const std::string& path);

// A file this test plants and removes again when it goes out of scope.
class PlantedFile {
 public:
  PlantedFile(std::string path, const std::string& bytes);
  PlantedFile(const PlantedFile&) = delete;
  PlantedFile& operator=(const PlantedFile&) = delete;
  ~PlantedFile();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Holds a file open for reading, sharing reading only, as a program using it would:
// nobody else can then write, rename, replace or delete it. An empty path holds
// nothing.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path);
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  ~HeldOpen();
  bool held() const { return file_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE file_;
};

// ---- The sandbox of skin_sandbox.sh ----

// False when the program was not started through skin_sandbox.sh.
bool InSandbox();
// The sandbox folder, the folder the test programs were built in, and the prefix's
// drive D: backed by the sandbox, as Windows paths without a trailing backslash.
std::string SandboxFolder();
std::string BinariesFolder();
// Creates a new, empty folder in the sandbox, named after `stem`.
std::string NewSandboxFolder(const std::string& stem);
// Gives the prefix a drive D: (an empty folder) or takes it away again.
void GiveDriveD();
void TakeDriveDAway();
// Creates a new, empty folder on drive D:, named after `stem`.
std::string NewFolderOnDriveD(const std::string& stem);

// ---- Probe libraries (skin_probe_library.cpp) ----

// "skin_probe_ok" (returns 0), "skin_probe_fails" (1), "skin_probe_minus_one" (-1),
// "skin_probe_no_export" (exports no SkinH_AttachRes).
std::string ProbeBytes(const std::string& probe);
// Copies the probe to `path`; true on success.
bool PlaceProbe(const std::string& probe, const std::string& path);
// The lines the probe at `path` has logged so far.
std::vector<std::string> ProbeLog(const std::string& path);

// ---- Skin data in the ".SHE" format, version 1 ----

struct SkinRecord {
  std::uint16_t tag;
  std::string payload;
};
// A well-formed skin with these records (count, length and checksum filled in).
std::string EncodeSkin(const std::vector<SkinRecord>& records, std::uint16_t version = 1);
std::string Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

}  // namespace zentravo::skin_test
