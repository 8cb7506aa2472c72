// The version information of Zentravo.exe and SkinH_EL.dll, read back the way
// Explorer's file properties read it: GetFileVersionInfo and VerQueryValue on the
// built files beside this test program.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/support/hex.h"
#include "zentravo/version.h"

namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// The whole VERSIONINFO resource of a file, empty when it has none.
std::vector<char> VersionBlockW(const std::wstring& file) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  std::vector<char> block(size);
  if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, block.data())) block.clear();
  return block;
}

std::vector<char> VersionBlockA(const std::string& file) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  std::vector<char> block(size);
  if (size == 0 || !GetFileVersionInfoA(file.c_str(), 0, size, block.data())) block.clear();
  return block;
}

// A string value; "<missing>" when the block has none by that name.
std::wstring QueryW(std::vector<char>& block, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), name.c_str(), &value, &length) || value == nullptr) {
    return L"<missing>";
  }
  std::wstring text(static_cast<const wchar_t*>(value), length);
  return text.substr(0, text.find(L'\0'));
}

std::string QueryA(std::vector<char>& block, const std::string& name) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), name.c_str(), &value, &length) || value == nullptr) {
    return "<missing>";
  }
  std::string text(static_cast<const char*>(value), length);
  return text.substr(0, text.find('\0'));
}

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

struct VersionedFile {
  const wchar_t* file;
  DWORD fileType;
  const wchar_t* internalName;
  const wchar_t* descriptionZh;
  const char* descriptionZhCp936;  // the same text as the narrow API gives it
  const wchar_t* descriptionEn;
};

const VersionedFile kFiles[] = {
    {L"Zentravo.exe", VFT_APP, L"Zentravo", L"Zentravo 微博图片 UID 查询",
     "Zentravo \xCE\xA2\xB2\xA9\xCD\xBC\xC6\xAC UID \xB2\xE9\xD1\xAF",
     L"Zentravo Weibo image UID lookup"},
    {L"SkinH_EL.dll", VFT_DLL, L"SkinH_EL", L"Zentravo 窗口皮肤库",
     "Zentravo \xB4\xB0\xBF\xDA\xC6\xA4\xB7\xF4\xBF\xE2", L"Zentravo window skin library"},
};

const wchar_t kChinese[] = L"\\StringFileInfo\\080403a8\\";
const wchar_t kEnglish[] = L"\\StringFileInfo\\040904b0\\";

TEST(VersionInfoTest, FixedPartCarriesTheProjectVersionAndFileType) {
  for (const VersionedFile& row : kFiles) {
    SCOPED_TRACE(testing::Message() << "file " << std::string(row.file, row.file + wcslen(row.file)));
    std::vector<char> block = VersionBlockW(ProgramFolder() + row.file);
    ASSERT_FALSE(block.empty()) << "no VERSIONINFO resource";

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    const DWORD high = MAKELONG(ZENTRAVO_VERSION_MINOR, ZENTRAVO_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, ZENTRAVO_VERSION_PATCH);
    EXPECT_EQ(high, fixed->dwFileVersionMS);
    EXPECT_EQ(low, fixed->dwFileVersionLS);
    EXPECT_EQ(high, fixed->dwProductVersionMS);
    EXPECT_EQ(low, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VOS_NT_WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(row.fileType, fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileFlags);
  }
}

TEST(VersionInfoTest, TranslationsNameTheChineseAndEnglishBlocks) {
  for (const VersionedFile& row : kFiles) {
    SCOPED_TRACE(testing::Message() << "file " << std::string(row.file, row.file + wcslen(row.file)));
    std::vector<char> block = VersionBlockW(ProgramFolder() + row.file);
    ASSERT_FALSE(block.empty()) << "no VERSIONINFO resource";
    WORD* pairs = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&pairs), &length));
    ASSERT_EQ(8u, length);
    EXPECT_EQ(0x0804, pairs[0]);  // Chinese (Simplified, PRC) ...
    EXPECT_EQ(936, pairs[1]);     // ... in code page 936
    EXPECT_EQ(0x0409, pairs[2]);  // English (United States) ...
    EXPECT_EQ(1200, pairs[3]);    // ... in UTF-16
  }
}

TEST(VersionInfoTest, StringsOfBothBlocks) {
  const std::wstring version = Widen(ZENTRAVO_VERSION);
  for (const VersionedFile& row : kFiles) {
    const std::wstring file = row.file;
    SCOPED_TRACE(testing::Message() << "file " << std::string(file.begin(), file.end()));
    std::vector<char> block = VersionBlockW(ProgramFolder() + file);
    ASSERT_FALSE(block.empty()) << "no VERSIONINFO resource";
    struct Value {
      const wchar_t* name;
      std::wstring chinese;
      std::wstring english;
    };
    const Value values[] = {
        {L"ProductName", L"Zentravo", L"Zentravo"},
        {L"ProductVersion", version, version},
        {L"FileVersion", version, version},
        {L"FileDescription", row.descriptionZh, row.descriptionEn},
        {L"OriginalFilename", file, file},
        {L"InternalName", row.internalName, row.internalName},
        {L"LegalCopyright", L"版权所有 (C) 2026 Zentravo 开发者",
         L"Copyright (C) 2026 The Zentravo developers"},
        {L"CompanyName", L"Zentravo 开发者", L"The Zentravo developers"},
    };
    for (const Value& value : values) {
      SCOPED_TRACE(testing::Message() << "value " << std::string(value.name, value.name + wcslen(value.name)));
      EXPECT_EQ(value.chinese, QueryW(block, kChinese + std::wstring(value.name)));
      EXPECT_EQ(value.english, QueryW(block, kEnglish + std::wstring(value.name)));
    }
  }
}

// What a program running in code page 936 sees through the narrow API: the
// Chinese strings as GBK bytes.
TEST(VersionInfoTest, ChineseStringsThroughTheNarrowApiAreCodePage936Bytes) {
  ASSERT_EQ(936u, GetACP()) << "run with LC_ALL=zh_CN.UTF-8, which gives code page 936";
  char folder[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
  std::string base(folder, length);
  base = base.substr(0, base.find_last_of('\\') + 1);
  for (const VersionedFile& row : kFiles) {
    const std::string file(row.file, row.file + wcslen(row.file));
    SCOPED_TRACE("file " + file);
    std::vector<char> block = VersionBlockA(base + file);
    ASSERT_FALSE(block.empty()) << "no VERSIONINFO resource";
    const std::string prefix = "\\StringFileInfo\\080403a8\\";
    EXPECT_EQ(HexBytes(row.descriptionZhCp936), HexBytes(QueryA(block, prefix + "FileDescription")));
    EXPECT_EQ(HexBytes("\xB0\xE6\xC8\xA8\xCB\xF9\xD3\xD0 (C) 2026 Zentravo \xBF\xAA\xB7\xA2\xD5\xDF"),
              HexBytes(QueryA(block, prefix + "LegalCopyright")));
    EXPECT_EQ(HexBytes("Zentravo \xBF\xAA\xB7\xA2\xD5\xDF"), HexBytes(QueryA(block, prefix + "CompanyName")));
    EXPECT_EQ("Zentravo", QueryA(block, prefix + "ProductName"));
    EXPECT_EQ(ZENTRAVO_VERSION, QueryA(block, prefix + "ProductVersion"));
    EXPECT_EQ(file, QueryA(block, prefix + "OriginalFilename"));
  }
}

}  // namespace
