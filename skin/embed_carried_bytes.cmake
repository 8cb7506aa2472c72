# cmake -DLIBRARY_FILE=... -DSKIN_FILE=... -DOUTPUT=... -P embed_carried_bytes.cmake
#
# Writes a C++ source that holds the skin library's whole file image and the skin
# as constant arrays, so Zentravo.exe is the one file to ship.

foreach(variable LIBRARY_FILE SKIN_FILE OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "embed_carried_bytes: ${variable} is not set")
  endif()
endforeach()

function(bytes_as_array file name out_var)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR byte_count "${hex_length} / 2")
  if(byte_count EQUAL 0)
    message(FATAL_ERROR "embed_carried_bytes: ${file} is empty")
  endif()
  # 24 bytes a line, "0xAB," each (CMake's regular expressions have no {n}).
  string(REPEAT "." 48 line_of_hex)
  string(REGEX REPLACE "(${line_of_hex})" "\\1\n    " body "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${body}")
  set(${out_var}
      "// ${byte_count} bytes\nconst unsigned char ${name}[${byte_count}] = {\n    ${body}\n};\n"
      PARENT_SCOPE)
endfunction()

bytes_as_array("${LIBRARY_FILE}" kSkinLibraryImage library_array)
bytes_as_array("${SKIN_FILE}" kSkinImage skin_array)

set(content "// Generated at build time from the built skin library and the compiled skin.
#include \"skin/carried_bytes.h\"

#include <string_view>

namespace zentravo {
namespace {

${library_array}
${skin_array}
std::string_view View(const unsigned char* bytes, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(bytes), size);
}

}  // namespace

const Bytes& SkinLibraryBytes() {
  static const Bytes bytes(View(kSkinLibraryImage, sizeof(kSkinLibraryImage)));
  return bytes;
}

const Bytes& SkinBytes() {
  static const Bytes bytes(View(kSkinImage, sizeof(kSkinImage)));
  return bytes;
}

}  // namespace zentravo
")

# Rewriting an unchanged file would rebuild the exe for nothing.
file(WRITE "${OUTPUT}.new" "${content}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
