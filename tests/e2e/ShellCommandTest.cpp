// Windows 11's first-level "Copy text" as Explorer uses it: QuillboxMenu.dll,
// loaded into this process from beside the real Quillbox.exe, its command made
// through DllGetClassObject and asked about selections as Explorer asks: title,
// icon, state, and Invoke, which must start Quillbox.exe on the one selected file
// and so put its text on the clipboard. (Explorer's own menu, and the package
// that registers the command, are Windows' alone: docs/windows-check.md.)
#include "AppTest.h"
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>
#include <wrl/client.h>

using namespace e2e;
using Microsoft::WRL::ComPtr;

namespace {

// As in shell/CopyTextCommand.cpp and the package's manifest.
constexpr CLSID ClsidCopyText = {0x598542a3, 0x2f70, 0x412d, {0xb3, 0x74, 0xca, 0x79, 0x62, 0x30, 0xa9, 0x80}};

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.rfind(L'\\') + 1); }

// How many Quillbox.exe processes run; with bEnd, they are ended too.
size_t QuillboxesRunning(bool bEnd = false)
{
    const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    size_t nFound = 0;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, L"Quillbox.exe") != 0)
            continue;
        ++nFound;
        if (const HANDLE process = bEnd ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID) : nullptr)
            KillAndClose(process);
    }
    return nFound;
}

class ShellCommand : public QuillboxTest {
protected:
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

    Module dll;
    CanUnloadNow canUnloadNow = nullptr;
    ComPtr<IExplorerCommand> command;

    void SetUp() override
    {
        QuillboxTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));  // as Explorer's menu thread
        ASSERT_EQ(QuillboxesRunning(), 0u);
        dll = Module(LoadLibraryW((Folder(AppRun::ExePath()) + L"QuillboxMenu.dll").c_str()));
        ASSERT_TRUE(dll);
        const auto getClassObject =
            reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll.get(), "DllGetClassObject")));
        canUnloadNow =
            reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(dll.get(), "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject && canUnloadNow);
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(ClsidCopyText, IID_PPV_ARGS(&factory)), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&command)), S_OK);
    }

    void TearDown() override
    {
        QuillboxesRunning(true);  // a run the test did not expect ends with it
        if (command) {
            EXPECT_EQ(canUnloadNow(), S_FALSE) << "the command is alive";
            command.Reset();
            EXPECT_EQ(canUnloadNow(), S_OK) << "an object of the DLL is still alive";
        }
        dll.reset();
        CoUninitialize();
    }

    // The selection as Explorer hands it over: an array of the items' ID lists.
    static ComPtr<IShellItemArray> Selection(const std::vector<std::wstring>& paths)
    {
        std::vector<PIDLIST_ABSOLUTE> lists;
        for (const std::wstring& path : paths) {
            PIDLIST_ABSOLUTE list = nullptr;
            if (SUCCEEDED(SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr)))
                lists.push_back(list);
        }
        ComPtr<IShellItemArray> items;
        if (lists.size() == paths.size())
            SHCreateShellItemArrayFromIDLists(static_cast<UINT>(lists.size()),
                                              const_cast<PCIDLIST_ABSOLUTE_ARRAY>(lists.data()), &items);
        for (PIDLIST_ABSOLUTE list : lists)
            CoTaskMemFree(list);
        if (!items)
            throw SetupFailure("cannot make the shell's items of the selection");
        return items;
    }

    std::optional<EXPCMDSTATE> State(IShellItemArray* items)
    {
        EXPCMDSTATE state = 0;
        return command->GetState(items, FALSE, &state) == S_OK ? std::optional(state) : std::nullopt;
    }
};

std::wstring Taken(PWSTR s)
{
    const std::wstring taken = s ? s : L"(none)";
    CoTaskMemFree(s);
    return taken;
}

// Also run by e2e_cp932, whose Japanese locale is Wine's display language too.
TEST_F(ShellCommand, TheTitleAndIconAreTheClassicEntrysInTheDisplayLanguage)
{
    const bool bJapanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
    EXPECT_EQ(bJapanese, std::getenv("QB_EXPECT_ACP") != nullptr);
    PWSTR s = nullptr;
    EXPECT_EQ(command->GetTitle(nullptr, &s), S_OK);
    EXPECT_EQ(Taken(s), bJapanese ? L"テキストをコピー" : L"Copy text");
    EXPECT_EQ(command->GetIcon(nullptr, &s), S_OK);
    EXPECT_EQ(Taken(s), AppRun::ExePath() + L",0");
}

TEST_F(ShellCommand, ShownForExactlyOneFile)
{
    const std::wstring file = folder.File(L"one.txt", "one"), other = folder.File(L"other.txt", "other");
    EXPECT_EQ(State(Selection({file}).Get()), ECS_ENABLED);
    EXPECT_EQ(State(Selection({file, other}).Get()), ECS_HIDDEN);
    EXPECT_EQ(State(Selection({folder.Folder(L"a folder")}).Get()), ECS_HIDDEN);
    EXPECT_EQ(State(nullptr), ECS_HIDDEN);
}

TEST_F(ShellCommand, InvokeCopiesTheFilesTextThroughQuillbox)
{
    // Blanks, letters outside ASCII and outside the ANSI code page, & and %.
    folder.Folder(L"menu  ümlauts");
    const std::wstring file =
        folder.File(L"menu  ümlauts\\über 日本語 & 100%.txt", "Copied by Windows 11's menu\r\n日本語 ümlaut");
    ASSERT_EQ(command->Invoke(Selection({file}).Get(), nullptr), S_OK);
    EXPECT_TRUE(WaitUntil(10s, [] { return QuillboxesRunning() == 0; })) << "Quillbox did not end";
    EXPECT_EQ(clipboard::Text(), std::wstring(L"Copied by Windows 11's menu\r\n日本語 ümlaut"));
}

TEST_F(ShellCommand, InvokeStartsNothingForAnyOtherSelection)
{
    const std::wstring file = folder.File(L"one.txt", "one"), other = folder.File(L"other.txt", "other");
    for (const ComPtr<IShellItemArray>& items : {Selection({file, other}), Selection({folder.Path()})}) {
        EXPECT_EQ(command->Invoke(items.Get(), nullptr), E_INVALIDARG);
        EXPECT_EQ(QuillboxesRunning(), 0u);
    }
    EXPECT_EQ(command->Invoke(nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(QuillboxesRunning(), 0u);
    ExpectClipboardUntouched();
}

}  // namespace
