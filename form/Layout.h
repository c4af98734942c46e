#pragma once
#include <cstdint>

// frmMain's look: the controls laid out in twips (1440 to the inch) relative to
// the client area, and the font, both turned into pixels for a given DPI.
struct ControlLayout {
    enum class Kind { Label, Field, Button };
    Kind kind;
    const char16_t* caption;
    int left, top, width, height;
    int tabIndex;
};

struct PixelRect {
    int left, top, width, height;
    bool operator==(const PixelRect& o) const
    {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
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
    // The order the controls are made in, which is their z-order. The dialog keys
    // step through those that take the focus in this order; an access key goes to
    // the control made right after its label, and screen readers name a field
    // from the label made right before it.
    static constexpr const ControlLayout* CreationOrder[] = {&lblMain, &txtMain, &cmdMain[0], &cmdMain[1]};

    static constexpr const char16_t* FontFace = u"ＭＳ Ｐゴシック";
    static constexpr uint8_t FontCharset = 128;  // Shift-JIS
    static constexpr int FontWeight = 400;
    static constexpr int FontTenthsOfPoint = 102;

    // twips x DPI / 1440, rounded to the nearest pixel (halves up).
    static constexpr int Pixels(int nTwips, int nDpi) { return (nTwips * nDpi + 720) / 1440; }

    // Each edge is rounded on its own, so that controls that meet in twips still
    // meet in pixels, and a size may differ by a pixel from its rounded twips.
    static constexpr PixelRect Place(int nLeft, int nTop, int nWidth, int nHeight, int nDpi)
    {
        const int l = Pixels(nLeft, nDpi), t = Pixels(nTop, nDpi);
        return {l, t, Pixels(nLeft + nWidth, nDpi) - l, Pixels(nTop + nHeight, nDpi) - t};
    }
    static constexpr PixelRect Place(const ControlLayout& c, int nDpi)
    {
        return Place(c.left, c.top, c.width, c.height, nDpi);
    }
    static constexpr PixelRect Client(int nDpi) { return Place(0, 0, ClientWidth, ClientHeight, nDpi); }

    // The font's character height in pixels at nDpi (a negative LOGFONT height),
    // rounded to the nearest pixel.
    static constexpr int FontHeight(int nDpi) { return -((FontTenthsOfPoint * nDpi + 360) / 720); }
};
