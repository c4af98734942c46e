// Which of the system's icons a window shows, told by its pixels on the screen.
#include "Harness.h"
#include <cstdint>
#include <cstdlib>
#include <ostream>

namespace e2e {

namespace {

// Pixels as 0xRRGGBB, row by row.
struct Pixels {
    int width;
    int height;
    std::vector<uint32_t> rgb;
};

template <typename Paint>
Pixels Render(int width, int height, Paint paint)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    paint(dc);
    GdiFlush();
    Pixels p{width, height, {}};
    const auto* first = static_cast<const uint32_t*>(bits);
    for (const uint32_t* q = first; q && q != first + width * height; ++q)
        p.rgb.push_back(*q & 0xFFFFFF);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return p;
}

Pixels Screen(const RECT& rc)
{
    return Render(rc.right - rc.left, rc.bottom - rc.top, [&](HDC dc) {
        const HDC screen = GetDC(nullptr);
        BitBlt(dc, 0, 0, rc.right - rc.left, rc.bottom - rc.top, screen, rc.left, rc.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

Pixels IconOn(HICON icon, int width, int height, int background)
{
    return Render(width, height, [&](HDC dc) {
        const RECT all{0, 0, width, height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(background)));
        DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    });
}

bool Near(uint32_t a, uint32_t b)
{
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 8)
            return false;
    }
    return true;
}

// Whether the screen shows this icon. The window paints its own background under
// the icon, so only the icon's opaque pixels count: those that come out the
// same drawn on black and on white.
bool ShowsIcon(const Pixels& screen, HICON icon)
{
    const Pixels onBlack = IconOn(icon, screen.width, screen.height, BLACK_BRUSH);
    const Pixels onWhite = IconOn(icon, screen.width, screen.height, WHITE_BRUSH);
    // No pixels prove nothing (an empty control, or a bitmap that could not be made).
    if (screen.rgb.empty() || onBlack.rgb.size() != screen.rgb.size() || onWhite.rgb.size() != screen.rgb.size())
        return false;
    size_t opaque = 0;
    size_t same = 0;
    for (size_t i = 0; i < screen.rgb.size(); ++i) {
        if (onBlack.rgb[i] != onWhite.rgb[i])
            continue;
        ++opaque;
        same += Near(screen.rgb[i], onBlack.rgb[i]);
    }
    return opaque >= screen.rgb.size() / 4 && same >= opaque * 95 / 100;
}

HWND IconControl(HWND window)
{
    for (HWND child : Children(window)) {
        if (ClassOf(child) == L"Static" && HasStyle(child, WS_VISIBLE) &&
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return child;
    }
    return nullptr;
}

}  // namespace

// The icon handle lives in the app's process and means nothing here.
IconKind IconOf(HWND window)
{
    const HWND control = IconControl(window);
    if (!control)
        return IconKind::None;
    RECT rc;
    GetClientRect(control, &rc);
    MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    const std::pair<IconKind, const wchar_t*> candidates[] = {{IconKind::Warning, IDI_WARNING},
                                                              {IconKind::Error, IDI_ERROR},
                                                              {IconKind::Information, IDI_INFORMATION},
                                                              {IconKind::Question, IDI_QUESTION}};
    IconKind kind = IconKind::Unknown;
    // The window may not have painted yet when it is first seen.
    WaitUntil(5s, [&] {
        const Pixels screen = Screen(rc);
        for (const auto& [candidate, id] : candidates) {
            // At the control's own size: at another DPI than the app's, LoadIcon's
            // size differs, and a scaled image is not the one the box shows.
            const auto icon = static_cast<HICON>(
                LoadImageW(nullptr, id, IMAGE_ICON, rc.right - rc.left, rc.bottom - rc.top, LR_SHARED));
            if (ShowsIcon(screen, icon)) {
                kind = candidate;
                return true;
            }
        }
        return !IsWindow(window);
    });
    return kind;
}

std::ostream& operator<<(std::ostream& out, IconKind kind)
{
    static const char* const names[] = {"none", "warning", "error", "information", "question", "unknown"};
    return out << names[static_cast<int>(kind)];
}

}  // namespace e2e
