// Test files in a folder of their own, removed with everything in it.
#include "Harness.h"

namespace e2e {

namespace {

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileW((folder + L"*").c_str(), &found);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &found)) {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(path + L"\\");
        else
            DeleteFileW(path.c_str());
    }
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
    RemoveDirectoryW(folder.c_str());
}

Handle CreateNewFile(const std::wstring& path)
{
    Handle file = FileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        throw SetupFailure("cannot create a test file");
    return file;
}

}  // namespace

TempFolder::TempFolder()
{
    static int made = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"qb-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made) + L"\\";
    if (!CreateDirectoryW(path_.c_str(), nullptr))
        throw SetupFailure("cannot create the test folder");
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::wstring TempFolder::File(const std::wstring& name, const std::string& bytes) const
{
    const std::wstring path = path_ + name;
    const Handle file = CreateNewFile(path);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written != bytes.size())
        throw SetupFailure("cannot write a test file");
    return path;
}

std::wstring TempFolder::SparseFile(const std::wstring& name, long long length) const
{
    const std::wstring path = path_ + name;
    const Handle file = CreateNewFile(path);
    LARGE_INTEGER end;
    end.QuadPart = length;
    if (!SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get()))
        throw SetupFailure("cannot size a test file");
    return path;
}

std::wstring TempFolder::Folder(const std::wstring& name) const
{
    const std::wstring path = path_ + name;
    if (!CreateDirectoryW(path.c_str(), nullptr))
        throw SetupFailure("cannot create a test folder");
    return path + L"\\";
}

}  // namespace e2e
