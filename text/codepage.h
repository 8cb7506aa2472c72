#pragma once

// Conversion between multibyte code pages by way of UTF-16.
//
// A wide byte string holds UTF-16 code units, two bytes each, low byte first; its
// text ends at the first zero unit. Code pages are numbered as Windows numbers
// them: 0 is the system's ANSI code page (936 on the systems the program is made
// for, and always 936 in the host build), 936 is GBK, 65001 is UTF-8. Invalid
// input and characters a code page lacks become the platform's substitution
// characters (U+FFFD when decoding UTF-8, '?' when encoding GBK); a conversion
// never stops at them. Nothing here reports an error: a conversion that fails
// gives an empty result.

#include "text/text.h"

namespace zentravo {

// `text` as UTF-16, read in `codePage` when `useGivenCodePage` is set and as UTF-8
// otherwise. The result is the whole output buffer: the converted units, a zero
// unit, and zero units for any room left over. The buffer is sized by measuring
// the text both as the ANSI code page and as the code page it is read in, taking
// the larger, so the converted units always fit. An empty text gives an empty
// result.
Bytes CodePageToWide(const Text& text, int codePage, bool useGivenCodePage);

// The UTF-16 text of `wide` (up to its first zero unit, or its end) written in
// `codePage` when `useGivenCodePage` is set and in the ANSI code page otherwise.
// The output buffer holds twice the larger of the sizes measured in the ANSI and
// in the target code page and starts as spaces; the result is the buffer up to its
// first zero byte, so a conversion that fails outright (an unknown code page)
// leaves only those spaces. An empty or zero-first `wide` gives an empty text.
Text WideToCodePage(const Bytes& wide, int codePage, bool useGivenCodePage);

// UTF-8 `utf8` as code page 936 text.
Text Utf8ToGbk(const Text& utf8);

}  // namespace zentravo
