#pragma once
#include <string>

// Every string inside the program is UTF-16. std::u16string keeps the portable
// code free of wchar_t, which is 4 bytes on Linux; the Win32 layer converts at its edge.
using Text = std::u16string;
