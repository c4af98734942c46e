#pragma once
#include <cstdint>

// Ends the program at once: no further handler runs, the system closes any open
// file and destroys the window. Defined in app/Main.cpp; the unit tests define
// their own, which throws so that they can watch the program end.
[[noreturn]] void EndProgram(uint32_t nExitCode);
