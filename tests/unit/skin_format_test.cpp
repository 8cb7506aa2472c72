// The ".SHE" skin parser on its own, byte by byte: what it refuses (and that it
// then leaves the skin alone), what it reads out of a well-formed skin, and its
// checksum. The library's export and its painting are tested under Wine.

#include "skin-library/skin_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace skinh {
namespace {

std::uint32_t Adler32Of(const std::string& bytes) {
  return Adler32(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void AppendU16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void AppendU32(std::string& out, std::uint32_t value) {
  AppendU16(out, value & 0xFFFF);
  AppendU16(out, value >> 16);
}

struct Record {
  std::uint16_t tag;
  std::string payload;
};

// A skin with these records; count, area length and checksum filled in to match.
std::string EncodeSkin(const std::vector<Record>& records, std::uint16_t version = kFormatVersion) {
  std::string area;
  for (const Record& record : records) {
    AppendU16(area, record.tag);
    AppendU16(area, static_cast<std::uint32_t>(record.payload.size()));
    area += record.payload;
  }
  std::string skin = ".SHE";
  AppendU16(skin, version);
  AppendU16(skin, static_cast<std::uint32_t>(records.size()));
  AppendU32(skin, static_cast<std::uint32_t>(area.size()));
  AppendU32(skin, Adler32Of(area));
  return skin + area;
}

// The checksum made right again after the record area was changed, so that a
// broken area is found by the walk through the records, not by the checksum.
std::string Resealed(std::string skin) {
  std::string checksum;
  AppendU32(checksum, Adler32Of(skin.substr(kHeaderSize)));
  return skin.replace(12, 4, checksum);
}

std::string WithByte(std::string bytes, std::size_t at, std::uint8_t value) {
  bytes[at] = static_cast<char>(value);
  return bytes;
}

std::string RgbBytes(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return std::string{static_cast<char>(red), static_cast<char>(green), static_cast<char>(blue)};
}

// Every field, for comparisons whose failures say what differs.
std::string Describe(const Skin& skin) {
  auto rgb = [](const Rgb& colour) {
    char text[8];
    std::snprintf(text, sizeof(text), "#%02X%02X%02X", colour.red, colour.green, colour.blue);
    return std::string(text);
  };
  return "name '" + std::string(skin.name) + "', background " + rgb(skin.backgroundTop) + " to " +
         rgb(skin.backgroundBottom) + ", frame " + rgb(skin.frame) + " x" +
         std::to_string(skin.frameWidth);
}

Skin Sentinel() {
  Skin skin;
  skin.name[0] = 'S';
  skin.backgroundTop = {1, 2, 3};
  skin.backgroundBottom = {4, 5, 6};
  skin.frame = {7, 8, 9};
  skin.frameWidth = 10;
  return skin;
}

const std::string kBackground = RgbBytes(0x10, 0x20, 0x30) + RgbBytes(0x40, 0x50, 0x60);

// The skin the program carries, as its folder's README spells it out.
const std::string kCarriedSkin(
    "\x2E\x53\x48\x45\x01\x00\x03\x00\x1D\x00\x00\x00\xD2\x09\x07\x81"
    "\x01\x00\x07\x00\x42\x72\x65\x6C\x6C\x69\x6B"
    "\x10\x00\x06\x00\xEE\xF4\xFC\xB4\xCD\xEB"
    "\x11\x00\x04\x00\x4F\x7F\xBF\x02",
    45);

TEST(ParseSkin, RefusesUnusableDataAndLeavesTheSkinAlone) {
  const std::string valid = EncodeSkin({{kTagName, "n"}, {kTagBackground, kBackground}});
  std::string overrun = EncodeSkin({{kTagBackground, kBackground}});
  overrun[18] = 7;  // the record claims one byte more than the area holds
  std::string shortRecordHeader = EncodeSkin({{kTagBackground, kBackground}}) + "\x77\x07";
  shortRecordHeader[8] += 2;  // two bytes of a record header at the end of the area
  shortRecordHeader[6] = 2;
  struct Row {
    const char* what;
    std::string bytes;
    bool nullData = false;
    SkinStatus expected;
  } rows[] = {
      {"no bytes", "", false, SkinStatus::kNoData},
      {"a null pointer", valid, true, SkinStatus::kNoData},
      {"three bytes of the magic", ".SH", false, SkinStatus::kTooShort},
      {"header cut short", valid.substr(0, 15), false, SkinStatus::kTooShort},
      {"short and foreign", "MZ", false, SkinStatus::kNotASkin},
      {"short, foreign in its fourth byte", ".SHx", false, SkinStatus::kNotASkin},
      {"foreign data", std::string("MZ\x90\0\3\0\0\0\4\0\0\0\xff\xff\0\0\xb8\0", 18), false,
       SkinStatus::kNotASkin},
      {"magic off by one letter", WithByte(valid, 3, 'F'), false, SkinStatus::kNotASkin},
      {"a later version", EncodeSkin({{kTagBackground, kBackground}}, 2), false,
       SkinStatus::kUnsupportedVersion},
      {"version 0", EncodeSkin({{kTagBackground, kBackground}}, 0), false,
       SkinStatus::kUnsupportedVersion},
      {"area longer than the data", valid.substr(0, valid.size() - 1), false, SkinStatus::kDamaged},
      {"a byte after the area", valid + "x", false, SkinStatus::kDamaged},
      {"area length beyond any data", WithByte(valid, 11, 0xFF), false, SkinStatus::kDamaged},
      {"checksum does not match", WithByte(valid, valid.size() - 2, 0x7F), false,
       SkinStatus::kDamaged},
      {"more records counted than present", WithByte(valid, 6, 4), false, SkinStatus::kDamaged},
      {"fewer records counted than present", WithByte(valid, 6, 1), false, SkinStatus::kDamaged},
      {"record overruns the area", Resealed(overrun), false, SkinStatus::kDamaged},
      {"record header cut by the area's end", Resealed(shortRecordHeader), false,
       SkinStatus::kDamaged},
      {"frame wider than 16",
       EncodeSkin({{kTagBackground, kBackground}, {kTagFrame, RgbBytes(1, 2, 3) + "\x11"}}), false,
       SkinStatus::kDamaged},
      {"frame of three bytes",
       EncodeSkin({{kTagBackground, kBackground}, {kTagFrame, RgbBytes(1, 2, 3)}}), false,
       SkinStatus::kDamaged},
      {"no records", EncodeSkin({}), false, SkinStatus::kIncomplete},
      {"no background", EncodeSkin({{kTagName, "n"}}), false, SkinStatus::kIncomplete},
      {"background of five bytes", EncodeSkin({{kTagBackground, std::string(5, 'x')}}), false,
       SkinStatus::kIncomplete},
      {"background of seven bytes", EncodeSkin({{kTagBackground, std::string(7, 'x')}}), false,
       SkinStatus::kIncomplete},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Skin skin = Sentinel();
    const auto* data = reinterpret_cast<const std::uint8_t*>(row.bytes.data());
    EXPECT_EQ(ParseSkin(row.nullData ? nullptr : data, row.bytes.size(), skin), row.expected);
    EXPECT_EQ(Describe(skin), Describe(Sentinel()));
  }
}

TEST(ParseSkin, ReadsWhatAWellFormedSkinHolds) {
  struct Row {
    const char* what;
    std::string bytes;
    std::string expected;
  } rows[] = {
      {"background only", EncodeSkin({{kTagBackground, kBackground}}),
       "name '', background #102030 to #405060, frame #000000 x0"},
      {"the skin the program carries", kCarriedSkin,
       "name 'Brellik', background #EEF4FC to #B4CDEB, frame #4F7FBF x2"},
      {"an unknown record is skipped",
       EncodeSkin({{0x0777, "later"}, {kTagBackground, kBackground}, {0x0012, ""}}),
       "name '', background #102030 to #405060, frame #000000 x0"},
      {"a long name is cut to 63 bytes",
       EncodeSkin({{kTagName, std::string(200, 'n')}, {kTagBackground, kBackground}}),
       "name '" + std::string(63, 'n') + "', background #102030 to #405060, frame #000000 x0"},
      {"an empty name", EncodeSkin({{kTagName, ""}, {kTagBackground, kBackground}}),
       "name '', background #102030 to #405060, frame #000000 x0"},
      {"frame of width 16",
       EncodeSkin({{kTagBackground, kBackground},
                   {kTagFrame, RgbBytes(0xC0, 0x80, 0x40) + "\x10"}}),
       "name '', background #102030 to #405060, frame #C08040 x16"},
      {"a record given twice counts with its last copy",
       EncodeSkin({{kTagName, "first"},
                   {kTagBackground, kBackground},
                   {kTagName, "second"},
                   {kTagBackground, RgbBytes(1, 1, 1) + RgbBytes(2, 2, 2)}}),
       "name 'second', background #010101 to #020202, frame #000000 x0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Skin skin = Sentinel();
    ASSERT_EQ(ParseSkin(reinterpret_cast<const std::uint8_t*>(row.bytes.data()), row.bytes.size(),
                        skin),
              SkinStatus::kApplied);
    EXPECT_EQ(Describe(skin), row.expected);
  }
}

TEST(Adler32, MatchesThePublishedChecksum) {
  struct Row {
    std::string bytes;
    std::uint32_t expected;
  } rows[] = {
      {"", 0x00000001},
      {"a", 0x00620062},
      {"Wikipedia", 0x11E60398},
      {"abcdefghijklmnopqrstuvwxyz", 0x90860B20},
      // Long enough for both sums to wrap around the modulus many times.
      {std::string(100000, '\xFF'), 0x149A302C},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes.substr(0, 26));
    EXPECT_EQ(Adler32Of(row.bytes), row.expected);
  }
}

}  // namespace
}  // namespace skinh
