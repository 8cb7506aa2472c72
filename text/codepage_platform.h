#pragma once

// The two conversion calls of the platform, in the form the code-page functions use:
// NUL-terminated input (a null pointer is no input at all and gives 0), flags 0,
// no default character. With a destination size of 0 they measure and return the
// units or bytes needed, the terminating zero included; otherwise they convert,
// writing at most that many, and return how many were written, or 0 when the
// output does not fit or the code page is unknown.
//
// Windows: kernel32's MultiByteToWideChar and WideCharToMultiByte, bound by name.
// Host build: a stand-in for code pages 0 (taken as 936), 936 and 65001 on iconv.

namespace zentravo::codepage_platform {

int MultiByteToWide(int codePage, const char* source, char16_t* destination, int destinationUnits);
int WideToMultiByte(int codePage, const char16_t* source, char* destination, int destinationBytes);

}  // namespace zentravo::codepage_platform
