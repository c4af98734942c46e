#pragma once
#include <string>

// Every string inside the program is UTF-16. std::u16string keeps the portable
// code free of wchar_t, which is 4 bytes on Linux; the Win32 layer converts at its edge.
using Text = std::u16string;

// How a file's bytes hold its text. Ansi is the system's ANSI code page.
enum class Encoding { Ansi, Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE };
