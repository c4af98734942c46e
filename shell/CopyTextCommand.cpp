// Windows 11's first-level "Copy text": the Explorer command that the x64
// installer's sparse package registers (tools/pack/AppxManifest.xml names its
// class). Explorer loads this DLL from Quillbox's install folder, where
// Quillbox.exe lies beside it, asks the command for its title, icon and state
// each time it opens a menu, and calls Invoke when the user clicks it: Invoke
// starts Quillbox.exe with the one selected file, as the classic right-click
// entry does, and Quillbox does the rest.
//
// It runs inside Explorer, so: it opens and reads no file while Explorer decides
// what to show, writes nothing anywhere, keeps nothing but reference counts, and
// no exception can leave it (it is built without them, and allocates only
// through COM's allocator, which returns null when it fails).
#include "resources/resource.h"
#include <windows.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <initializer_list>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this DLL, as loaded

namespace {

// The class the package's manifest names: never change one without the other.
// {598542A3-2F70-412D-B374-CA796230A980}
constexpr CLSID ClsidCopyText = {0x598542a3, 0x2f70, 0x412d, {0xb3, 0x74, 0xca, 0x79, 0x62, 0x30, 0xa9, 0x80}};
constexpr wchar_t ExeName[] = L"Quillbox.exe";
// The classic entry's label where Quillbox.exe's cannot be loaded (its key's default value).
constexpr wchar_t FallbackTitle[] = L"Copy text";
#define QB_WIDE_TEXT(x) QB_WIDE_TEXT_(x)
#define QB_WIDE_TEXT_(x) L## #x

// Objects alive, and locks of the class factory: DllCanUnloadNow says S_OK at 0.
LONG g_nLive = 0;

// A string from COM's allocator, freed when it goes out of scope unless released.
class TaskString {
public:
    TaskString() = default;
    explicit TaskString(PWSTR s) : s_(s) {}
    TaskString(const TaskString&) = delete;
    TaskString& operator=(const TaskString&) = delete;
    ~TaskString() { CoTaskMemFree(s_); }
    PWSTR get() const { return s_; }
    PWSTR* put() { return &s_; }
    PWSTR release()
    {
        PWSTR s = s_;
        s_ = nullptr;
        return s;
    }

private:
    PWSTR s_ = nullptr;
};

// The parts one after the other, in COM's allocator; null if a part is null or no memory is left.
PWSTR Concat(std::initializer_list<PCWSTR> parts)
{
    size_t nLength = 1;
    for (PCWSTR part : parts) {
        if (!part)
            return nullptr;
        nLength += lstrlenW(part);
    }
    auto* s = static_cast<PWSTR>(CoTaskMemAlloc(nLength * sizeof(wchar_t)));
    if (!s)
        return nullptr;
    PWSTR end = s;
    for (PCWSTR part : parts)
        while (*part)
            *end++ = *part++;
    *end = L'\0';
    return s;
}

// The folder this DLL was loaded from, with its final backslash: Quillbox.exe's.
PWSTR ModuleFolder()
{
    for (DWORD nSize = MAX_PATH; nSize <= 32768; nSize *= 2) {
        auto* s = static_cast<PWSTR>(CoTaskMemAlloc(nSize * sizeof(wchar_t)));
        if (!s)
            return nullptr;
        const DWORD nLength = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), s, nSize);
        PWSTR slash = nLength > 0 && nLength < nSize ? wcsrchr(s, L'\\') : nullptr;
        if (slash) {
            slash[1] = L'\0';
            return s;
        }
        CoTaskMemFree(s);
        if (nLength < nSize)  // failed, not too short
            return nullptr;
    }
    return nullptr;
}

// The selection's item if it is exactly one file (AddRef'ed), else null: for no
// selection, several items, a folder or a drive, or an item outside the file
// system. A .zip, which the shell also shows as a folder, is a file: its item is
// a stream. Only what the shell already holds about the item is asked.
IShellItem* OneFile(IShellItemArray* pItems)
{
    DWORD nCount = 0;
    if (!pItems || FAILED(pItems->GetCount(&nCount)) || nCount != 1)
        return nullptr;
    IShellItem* pItem = nullptr;
    if (FAILED(pItems->GetItemAt(0, &pItem)))
        return nullptr;
    SFGAOF attributes = 0;
    // S_FALSE only says that not all of the attributes asked for are set.
    if (SUCCEEDED(pItem->GetAttributes(SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_STREAM, &attributes)) &&
        (attributes & SFGAO_FILESYSTEM) && ((attributes & SFGAO_STREAM) || !(attributes & SFGAO_FOLDER)))
        return pItem;
    pItem->Release();
    return nullptr;
}

// Starts "<folder>\Quillbox.exe" "<file>", the classic entry's command line. A
// Windows file name cannot hold a quotation mark, so the quotes keep it whole.
HRESULT StartQuillbox(PCWSTR sFile)
{
    TaskString folder(ModuleFolder());
    TaskString exe(Concat({folder.get(), ExeName}));
    TaskString line(Concat({L"\"", exe.get(), L"\" \"", sFile, L"\""}));
    if (!line.get())
        return E_OUTOFMEMORY;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.get(), line.get(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return HRESULT_FROM_WIN32(GetLastError());
    // Explorer may bring a window to the front; so may Quillbox's messages, then.
    AllowSetForegroundWindow(pi.dwProcessId);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return S_OK;
}

// What the COM objects here share: a reference count, each object counting for
// DllCanUnloadNow while it lives, and COM's allocator, which returns null when it
// fails (no exception).
class LiveObject {
public:
    static void* operator new(size_t nSize) noexcept { return CoTaskMemAlloc(nSize); }
    static void operator delete(void* p) noexcept { CoTaskMemFree(p); }
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;

protected:
    LiveObject() { InterlockedIncrement(&g_nLive); }
    virtual ~LiveObject() { InterlockedDecrement(&g_nLive); }
    ULONG Up() { return InterlockedIncrement(&m_nRefs); }
    ULONG Down()
    {
        const LONG nRefs = InterlockedDecrement(&m_nRefs);
        if (nRefs == 0)
            delete this;
        return nRefs;
    }

private:
    LONG m_nRefs = 1;
};

// A new object's interface riid, or the reason there is none.
template <typename Object>
HRESULT Make(REFIID riid, void** ppv)
{
    auto* pObject = new Object;
    if (!pObject)
        return E_OUTOFMEMORY;
    const HRESULT hr = pObject->QueryInterface(riid, ppv);
    pObject->Release();
    return hr;
}

class CopyTextCommand final : public IExplorerCommand, public IObjectWithSite, public LiveObject {
public:
    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        static const QITAB interfaces[] = {QITABENT(CopyTextCommand, IExplorerCommand),
                                           QITABENT(CopyTextCommand, IObjectWithSite), {}};
        return QISearch(this, interfaces, riid, ppv);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return Up(); }
    IFACEMETHODIMP_(ULONG) Release() override { return Down(); }

    // The classic entry's label as Explorer loads it from its MUIVerb: Quillbox.exe's
    // string in the user's display language.
    IFACEMETHODIMP GetTitle(IShellItemArray*, LPWSTR* ppszName) override
    {
        if (!ppszName)
            return E_POINTER;
        TaskString folder(ModuleFolder());
        TaskString source(Concat({L"@", folder.get(), ExeName, L",-", QB_WIDE_TEXT(IDS_COPY_TEXT)}));
        wchar_t sTitle[128];
        if (!source.get() || FAILED(SHLoadIndirectString(source.get(), sTitle, ARRAYSIZE(sTitle), nullptr)))
            lstrcpynW(sTitle, FallbackTitle, ARRAYSIZE(sTitle));
        return SHStrDupW(sTitle, ppszName);
    }
    // Quillbox.exe's icon, as the classic entry's Icon value names it.
    IFACEMETHODIMP GetIcon(IShellItemArray*, LPWSTR* ppszIcon) override
    {
        if (!ppszIcon)
            return E_POINTER;
        TaskString folder(ModuleFolder());
        *ppszIcon = Concat({folder.get(), ExeName, L",0"});
        return *ppszIcon ? S_OK : E_OUTOFMEMORY;
    }
    IFACEMETHODIMP GetToolTip(IShellItemArray*, LPWSTR* ppszInfotip) override
    {
        if (ppszInfotip)
            *ppszInfotip = nullptr;
        return E_NOTIMPL;
    }
    IFACEMETHODIMP GetCanonicalName(GUID* pguidCommandName) override
    {
        if (!pguidCommandName)
            return E_POINTER;
        *pguidCommandName = ClsidCopyText;
        return S_OK;
    }
    // Shown for one file, as the classic entry (MultiSelectModel Single): Explorer would
    // run the command for each selected file, and copies at once race for the clipboard.
    IFACEMETHODIMP GetState(IShellItemArray* pItems, BOOL, EXPCMDSTATE* pCmdState) override
    {
        if (!pCmdState)
            return E_POINTER;
        IShellItem* pItem = OneFile(pItems);
        *pCmdState = pItem ? ECS_ENABLED : ECS_HIDDEN;
        if (pItem)
            pItem->Release();
        return S_OK;
    }
    IFACEMETHODIMP Invoke(IShellItemArray* pItems, IBindCtx*) override
    {
        IShellItem* pItem = OneFile(pItems);
        if (!pItem)
            return E_INVALIDARG;
        TaskString path;
        HRESULT hr = pItem->GetDisplayName(SIGDN_FILESYSPATH, path.put());
        pItem->Release();
        if (SUCCEEDED(hr))
            hr = StartQuillbox(path.get());
        return hr;
    }
    IFACEMETHODIMP GetFlags(EXPCMDFLAGS* pFlags) override
    {
        if (!pFlags)
            return E_POINTER;
        *pFlags = ECF_DEFAULT;
        return S_OK;
    }
    IFACEMETHODIMP EnumSubCommands(IEnumExplorerCommand** ppEnum) override
    {
        if (ppEnum)
            *ppEnum = nullptr;
        return E_NOTIMPL;
    }

    // Explorer hands its site over; the command needs nothing of it but keeps it as asked.
    IFACEMETHODIMP SetSite(IUnknown* pSite) override
    {
        if (pSite)
            pSite->AddRef();
        if (m_pSite)
            m_pSite->Release();
        m_pSite = pSite;
        return S_OK;
    }
    IFACEMETHODIMP GetSite(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        return m_pSite ? m_pSite->QueryInterface(riid, ppv) : E_FAIL;
    }

private:
    ~CopyTextCommand() override
    {
        if (m_pSite)
            m_pSite->Release();
    }

    IUnknown* m_pSite = nullptr;
};

class CopyTextFactory final : public IClassFactory, public LiveObject {
public:
    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        static const QITAB interfaces[] = {QITABENT(CopyTextFactory, IClassFactory), {}};
        return QISearch(this, interfaces, riid, ppv);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return Up(); }
    IFACEMETHODIMP_(ULONG) Release() override { return Down(); }
    IFACEMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        return pOuter ? CLASS_E_NOAGGREGATION : Make<CopyTextCommand>(riid, ppv);
    }
    IFACEMETHODIMP LockServer(BOOL fLock) override
    {
        if (fLock)
            InterlockedIncrement(&g_nLive);
        else
            InterlockedDecrement(&g_nLive);
        return S_OK;
    }
};

}  // namespace

// The two functions COM calls in an in-process server (exported by QuillboxMenu.def).
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return IsEqualCLSID(rclsid, ClsidCopyText) ? Make<CopyTextFactory>(riid, ppv) : CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return g_nLive == 0 ? S_OK : S_FALSE; }
