// The desktop as a user drives it: keys, clicks, the places of windows, and
// the user's settings in the registry.
#include "Harness.h"
#include <algorithm>
#include <map>

namespace e2e {

RECT RectInParent(HWND hwnd)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

POINT CentreOnScreen(HWND hwnd)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

std::map<LRESULT, RECT> FrameHits(HWND window)
{
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::map<LRESULT, RECT> hits;
    const auto probe = [&](int x, int y) {
        DWORD_PTR code = HTNOWHERE;
        if (!SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 2000, &code))
            return;
        const auto [at, added] = hits.emplace(static_cast<LRESULT>(code), RECT{x, y, x + 1, y + 1});
        RECT& r = at->second;
        r = {std::min<LONG>(r.left, x), std::min<LONG>(r.top, y), std::max<LONG>(r.right, x + 1),
             std::max<LONG>(r.bottom, y + 1)};
    };
    // Along the middle of the caption, and the outermost pixels all round.
    for (int x = outer.left; x < outer.right; ++x) {
        probe(x, (outer.top + client.top) / 2);
        probe(x, outer.top);
        probe(x, outer.bottom - 1);
    }
    for (int y = outer.top; y < outer.bottom; ++y) {
        probe(outer.left, y);
        probe(outer.right - 1, y);
    }
    return hits;
}

namespace {

INPUT Key(WORD vk, WORD scan, DWORD flags)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan;
    in.ki.dwFlags = flags;
    return in;
}

INPUT Mouse(DWORD flags, LONG x = 0, LONG y = 0)
{
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = x;
    in.mi.dy = y;
    in.mi.dwFlags = flags;
    return in;
}

}  // namespace

Keys Tap(WORD vk) { return {Key(vk, 0, 0), Key(vk, 0, KEYEVENTF_KEYUP)}; }

Keys Chord(WORD modifier, WORD vk)
{
    return {Key(modifier, 0, 0), Key(vk, 0, 0), Key(vk, 0, KEYEVENTF_KEYUP), Key(modifier, 0, KEYEVENTF_KEYUP)};
}

Keys Typed(const std::wstring& text)
{
    Keys keys;
    for (wchar_t c : text) {
        keys.push_back(Key(0, c, KEYEVENTF_UNICODE));
        keys.push_back(Key(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
    }
    return keys;
}

Keys operator+(Keys a, const Keys& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void Click(POINT screen)
{
    // Absolute positions run from 0 to 65535 across the screen. The middle of
    // the pixel's range, so that it comes back as that pixel whether the system
    // scales by 65536 (Windows) or 65535 (Wine).
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const LONG x = static_cast<LONG>((2 * screen.x + 1) * 65536LL / (2 * width));
    const LONG y = static_cast<LONG>((2 * screen.y + 1) * 65536LL / (2 * height));
    INPUT inputs[] = {Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y), Mouse(MOUSEEVENTF_LEFTDOWN),
                      Mouse(MOUSEEVENTF_LEFTUP)};
    // The button goes down only once the pointer is there: under Wine a late
    // motion event from X (after another program moved the X pointer) can still
    // put it back where it was.
    WaitUntil(1s, [&] {
        SendInput(1, inputs, sizeof(INPUT));
        Sleep(50);
        POINT now{};
        return GetCursorPos(&now) && now.x == screen.x && now.y == screen.y;
    });
    SendInput(2, inputs + 1, sizeof(INPUT));
}

RegistryValue::RegistryValue(const wchar_t* key, const wchar_t* name, std::optional<DWORD> value)
{
    Save(key, name);
    if (value)
        RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &*value, sizeof *value);
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name);
}

RegistryValue::RegistryValue(const wchar_t* key, const wchar_t* name, std::optional<std::wstring> value)
{
    Save(key, name);
    if (value)
        RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value->c_str(),
                        static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name);
}

void RegistryValue::Save(const wchar_t* key, const wchar_t* name)
{
    key_ = key;
    name_ = name;
    DWORD size = 0;
    existed_ = RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type_, nullptr, &size) ==
               ERROR_SUCCESS;
    if (existed_) {
        old_.resize(size);
        RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type_, old_.data(), &size);
        old_.resize(size);
    }
}

RegistryValue::~RegistryValue()
{
    if (existed_)
        RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), type_, old_.data(),
                        static_cast<DWORD>(old_.size()));
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str());
}

}  // namespace e2e
