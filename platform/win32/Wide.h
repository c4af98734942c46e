#pragma once
#include "common/Text.h"

// On Windows wchar_t and char16_t are both UTF-16 code units.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

inline const wchar_t* Wide(const Text& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline wchar_t* Wide(Text& s) { return reinterpret_cast<wchar_t*>(s.data()); }
inline Text FromWide(const wchar_t* s) { return Text(reinterpret_cast<const char16_t*>(s)); }
