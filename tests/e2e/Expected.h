// What a user of Quillbox.exe is meant to see: the texts of its boxes, the
// sentinel the tests leave on the clipboard, and helpers to compare with them.
#pragma once
#include "Harness.h"
#include <string>
#include <vector>

namespace e2e {

inline const std::wstring Sentinel = L"left on the clipboard by the test\r\nbefore Quillbox ran";
inline const std::wstring PathWarningText = L"指定されたパスに間違いがあります。";

// The version as the error report shows it, from the exe's own version block.
std::wstring ReportedVersion();
// The five lines of the error report.
std::wstring ErrorReport(const std::wstring& code, const std::wstring& place, const std::wstring& description);
std::vector<std::wstring> Lines(const std::wstring& text);
std::vector<std::wstring> Classes(const std::vector<AppWindow>& windows);

}  // namespace e2e
