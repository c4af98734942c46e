#pragma once
#include <cstdint>

// frmMain's controls, laid out in twips (1440 to the inch) relative to the client area.
struct ControlLayout {
    enum class Kind { Label, Field, Button };
    Kind kind;
    const char16_t* caption;
    int left, top, width, height;
    int tabIndex;
};

struct FormLayout {
    static constexpr int ClientWidth = 4104;
    static constexpr int ClientHeight = 1404;
    static constexpr ControlLayout lblMain{ControlLayout::Kind::Label, u"Path(&P):", 180, 240, 972, 372, 3};
    static constexpr ControlLayout txtMain{ControlLayout::Kind::Field, u"", 1200, 180, 2772, 372, 0};
    static constexpr ControlLayout cmdMain[2] = {
        {ControlLayout::Kind::Button, u"OK", 1800, 840, 1032, 432, 1},
        {ControlLayout::Kind::Button, u"Cancel", 2940, 840, 1032, 432, 2},
    };
};
