// Files and text: reading a whole file, converting it to UTF-16 from its
// encoding, and turning Win32 errors into the program's failures.
#include "platform/CodeUnits.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Wide.h"

namespace {

class Win32File final : public Platform::File {
public:
    explicit Win32File(HANDLE h) : h_(h) {}
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;
    ~Win32File() override { CloseHandle(h_); }

    int64_t Length() override
    {
        LARGE_INTEGER nSize;
        if (!GetFileSizeEx(h_, &nSize))
            throw Win32Platform::Failure(GetLastError());
        return nSize.QuadPart;
    }

    std::string Read(int32_t nCount) override
    {
        std::string bytes(static_cast<size_t>(nCount), '\0');
        DWORD nRead = 0;
        if (nCount > 0 && !ReadFile(h_, bytes.data(), static_cast<DWORD>(nCount), &nRead, nullptr))
            throw Win32Platform::Failure(GetLastError());
        if (nRead != static_cast<DWORD>(nCount))
            throw ErrorInfo{ErrorInfo::InputPastEnd, Win32Platform::InUserLanguage(Description::Shrank)};
        return bytes;
    }

private:
    HANDLE h_;
};

Text SystemMessage(DWORD nError)
{
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, nError, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (n == 0) {
        const std::string digits = std::to_string(nError);
        Text s = Win32Platform::InUserLanguage(Description::SystemError);
        return s.replace(s.find(u'#'), 1, Text(digits.begin(), digits.end()));
    }
    Text s = FromWide(buffer);
    LocalFree(buffer);
    while (!s.empty() && (s.back() == u'\r' || s.back() == u'\n' || s.back() == u' '))
        s.pop_back();
    return s;
}

// False only for a path that starts with the letter of a drive that does not exist.
bool DriveExists(const Text& sPath)
{
    if (sPath.size() < 2 || sPath[1] != u':')
        return true;
    const wchar_t root[] = {static_cast<wchar_t>(sPath[0]), L':', L'\\', 0};
    return GetDriveTypeW(root) != DRIVE_NO_ROOT_DIR;
}

// The path made full as the system makes it: from the current folder, with /
// as \, and doubled separators, . and .. taken out; empty if it cannot be.
Text FullPath(const Text& sPath)
{
    const DWORD nNeeded = GetFullPathNameW(Wide(sPath), 0, nullptr, nullptr);  // with the terminating NUL
    Text sFull(nNeeded, u'\0');
    const DWORD nLength = nNeeded ? GetFullPathNameW(Wide(sPath), nNeeded, Wide(sFull), nullptr) : 0;
    sFull.resize(nLength < nNeeded ? nLength : 0);
    return sFull;
}

// The path to open. Past MAX_PATH characters Windows opens a path only in its
// extended form (\\?\), unless the system's long-path policy is on: the manifest
// alone does not do it. Shorter paths stay exactly as given.
Text OpenablePath(const Text& sPath)
{
    const Text sFull = FullPath(sPath);
    return sFull.size() < MAX_PATH ? sPath : Win32Platform::ExtendedForm(sFull);
}

// Opens the file for reading. A 32-bit program on 64-bit Windows that opens
// C:\Windows\System32\... is given SysWOW64's file of that name, or none; the
// file the user named is the one to read, so the 32-bit build turns that
// redirection off for the open alone: it holds for everything the thread does.
// With it off, the system no longer knows the alias Sysnative, so a path through
// it is spelt with System32, made ready before: nothing else runs while it is off.
HANDLE OpenAsNamed(const Text& sPath)
{
    const Text sAsGiven = OpenablePath(sPath);
#ifndef _WIN64
    wchar_t windows[MAX_PATH] = L"";
    const UINT nWindows = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const Text sWithSystem32 =
        OpenablePath(Win32Platform::WithoutSysnative(sPath, nWindows < MAX_PATH ? FromWide(windows) : Text()));
    PVOID pRedirection = nullptr;
    const BOOL bTurnedOff = Wow64DisableWow64FsRedirection(&pRedirection);  // fails where there is no WOW64
    const wchar_t* const sOpened = Wide(bTurnedOff ? sWithSystem32 : sAsGiven);
#else
    const wchar_t* const sOpened = Wide(sAsGiven);
#endif
    // SECURITY_IDENTIFICATION: a named pipe's server cannot act as this user.
    const HANDLE h = CreateFileW(sOpened, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | SECURITY_SQOS_PRESENT |
                                     SECURITY_IDENTIFICATION,
                                 nullptr);
#ifndef _WIN64
    if (bTurnedOff) {
        const DWORD nError = GetLastError();
        Wow64RevertWow64FsRedirection(pRedirection);
        SetLastError(nError);
    }
#endif
    return h;
}

}  // namespace

Text Win32Platform::WithoutSysnative(const Text& sPath, const Text& sWindows)
{
    if (sWindows.empty())
        return sPath;
    // \\?\C:\... and the device form \\.\C:\... are compared as C:\...; a
    // server's \\?\UNC\... is no drive's.
    const Text sHead = sPath.substr(0, 4);
    const bool bPrefixed = (sHead == u"\\\\?\\" || sHead == u"\\\\.\\") && sPath.size() > 5 && sPath[5] == u':';
    const Text sPrefix = bPrefixed ? sHead : Text();
    Text sFull = FullPath(sPath.substr(sPrefix.size()));
    Text sAlias = sWindows;
    while (!sAlias.empty() && sAlias.back() == u'\\')
        sAlias.pop_back();
    const size_t nFolder = sAlias.size() + 1;  // where the alias's own name starts
    sAlias += u"\\Sysnative\\";
    if (sFull.size() < sAlias.size() ||
        CompareStringOrdinal(Wide(sFull), static_cast<int>(sAlias.size()), Wide(sAlias),
                             static_cast<int>(sAlias.size()), TRUE) != CSTR_EQUAL)
        return sPath;
    return sPrefix + sFull.replace(nFolder, 9, u"System32");
}

Text Win32Platform::ExtendedForm(const Text& sFullPath)
{
    const auto At = [&](size_t i) { return i < sFullPath.size() ? sFullPath[i] : u'\0'; };
    const bool bDrive = ((At(0) >= u'A' && At(0) <= u'Z') || (At(0) >= u'a' && At(0) <= u'z')) && At(1) == u':' &&
                        At(2) == u'\\';
    if (bDrive)
        return u"\\\\?\\" + sFullPath;
    // \\server\share\...; not \\?\ (already extended) nor \\.\ (a device)
    const bool bServer = At(0) == u'\\' && At(1) == u'\\' && At(2) != u'?' && At(2) != u'.' && At(2) != u'\0';
    if (bServer)
        return u"\\\\?\\UNC\\" + sFullPath.substr(2);
    return sFullPath;
}

ErrorInfo Win32Platform::Failure(DWORD nError)
{
    int32_t nCode;
    switch (nError) {
    case ERROR_FILE_NOT_FOUND:
        nCode = ErrorInfo::FileNotFound;
        break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_NOT_READY:  // a card reader or DVD drive with no medium
    // A share or a server that is gone, or a network that is not there.
    case ERROR_REM_NOT_LIST:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NETNAME_DELETED:
    case ERROR_CONNECTION_UNAVAIL:
    case ERROR_NO_NET_OR_BAD_PATH:
    case ERROR_NO_NETWORK:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_NOT_CONNECTED:
        nCode = ErrorInfo::PathNotFound;
        break;
    case ERROR_ACCESS_DENIED:     // also a folder named as the file
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PIPE_BUSY:         // a pipe, like any other: never read
    case ERROR_INVALID_NAME:      // quotes, wildcards, < > |: a mistyped name
    case ERROR_FILENAME_EXCED_RANGE:
        nCode = ErrorInfo::PathFileAccess;
        break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        nCode = ErrorInfo::OutOfMemory;
        break;
    default:
        // The HRESULT form keeps other system errors apart from the program's own codes.
        nCode = static_cast<int32_t>(HRESULT_FROM_WIN32(nError));
    }
    return ErrorInfo{nCode, SystemMessage(nError)};
}

std::unique_ptr<Platform::File> Win32Platform::OpenForRead(const Text& sPath)
{
    if (sPath.find(u'\0') != Text::npos)  // the system would see only the part before it
        throw Failure(ERROR_INVALID_NAME);
    if (sPath.empty())  // names nothing: a path failure, whatever the system would answer
        throw Failure(ERROR_PATH_NOT_FOUND);
    const HANDLE h = OpenAsNamed(sPath);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD nError = GetLastError();
        if (nError == ERROR_INVALID_HANDLE)  // CON and its kin without a console
            throw ErrorInfo{ErrorInfo::PathFileAccess, InUserLanguage(Description::Device)};
        if (nError == ERROR_FILE_NOT_FOUND && !DriveExists(sPath))  // Wine says "file" for a missing drive
            throw Failure(ERROR_PATH_NOT_FOUND);
        throw Failure(nError);
    }
    auto file = std::make_unique<Win32File>(h);
    // A read from a device such as COM1 can wait forever.
    if (GetFileType(h) != FILE_TYPE_DISK)
        throw ErrorInfo{ErrorInfo::PathFileAccess, InUserLanguage(Description::DeviceOrPipe)};
    return file;
}

Text Win32Platform::BytesToText(std::string_view bytes, Encoding encoding)
{
    if (encoding != Encoding::Ansi && encoding != Encoding::Utf8)
        return CodeUnits::Decode(bytes, encoding);
    if (bytes.empty())  // the converter fails on zero bytes
        return Text();
    const UINT nCodePage = encoding == Encoding::Ansi ? CP_ACP : CP_UTF8;
    const int nBytes = static_cast<int>(bytes.size());
    const int nChars = MultiByteToWideChar(nCodePage, 0, bytes.data(), nBytes, nullptr, 0);
    if (nChars == 0)
        throw Failure(GetLastError());
    Text text(static_cast<size_t>(nChars), u'\0');
    if (!MultiByteToWideChar(nCodePage, 0, bytes.data(), nBytes, Wide(text), nChars))
        throw Failure(GetLastError());
    return text;
}

Text Win32Platform::Describe(Description::Id nWhat) { return InUserLanguage(nWhat); }

Text Win32Platform::InUserLanguage(Description::Id nWhat)
{
    return Description::Of(nWhat, PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE);
}
