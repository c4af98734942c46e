#pragma once
#include "common/Text.h"
#include <cstdint>

// A failure. Thrown as the exception type and kept in frmMain's current-failure slot.
struct ErrorInfo {
    int32_t Code = 0;
    Text Message;

    // The three path failures, answered with the path warning instead of the error report.
    static constexpr int32_t FileNotFound = 53;
    static constexpr int32_t PathFileAccess = 75;
    static constexpr int32_t PathNotFound = 76;
    // Failures the program names itself.
    static constexpr int32_t Overflow = 6;
    static constexpr int32_t OutOfMemory = 7;
    static constexpr int32_t InternalError = 51;
    static constexpr int32_t InputPastEnd = 62;  // also an empty file
    static constexpr int32_t InvalidFileFormat = 321;

    bool IsPathFailure() const
    {
        return Code == FileNotFound || Code == PathFileAccess || Code == PathNotFound;
    }
};
