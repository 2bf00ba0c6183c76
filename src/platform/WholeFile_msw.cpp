// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WholeFile.h"

#include "platform/NativePath.h"

#include <windows.h>

#include <wx/log.h>

#include <algorithm>
#include <random>

namespace {

using Result = WholeFile::Result;

Result Fail(DWORD error, wxString& detail)
{
    detail = wxSysErrorMsgStr(error);
    return Result::Failed;
}

// What stands at path: a plain file, nothing, or something not to replace.
Result Existing(const std::wstring& path, bool& exists, wxString& detail)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? Result::Done : Fail(error, detail);
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Result::Link;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return Result::NotRegular;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return Fail(ERROR_ACCESS_DENIED, detail);
    return Result::Done;
}

// A new file's name in the folder of path, not derived from path's own name.
std::wstring Beside(const std::wstring& path)
{
    static thread_local std::random_device random;
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    return folder + L".vorlix-report-" + std::to_wstring(random()) + std::to_wstring(random());
}

}  // namespace

WholeFile::Result WholeFile::Check(const wxString& path, wxString& detail)
{
    std::wstring native;
    if (!NativePath::Encode(path, native, detail))
        return Result::Failed;
    bool exists = false;
    const Result existing = Existing(native, exists, detail);
    if (existing != Result::Done)
        return existing;
    // Whether the folder takes a new file can only be told by making one:
    // it goes again as its handle closes.
    HANDLE probe = ::CreateFileW(Beside(native).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return Fail(::GetLastError(), detail);
    ::CloseHandle(probe);
    return Result::Done;
}

WholeFile::Result WholeFile::Write(const wxString& path, const std::function<void(const Writer& write)>& produce,
                                   wxString& detail)
{
    std::wstring native;
    if (!NativePath::Encode(path, native, detail))
        return Result::Failed;
    bool exists = false;
    const Result existing = Existing(native, exists, detail);
    if (existing != Result::Done)
        return existing;
    const std::wstring temporary = Beside(native);
    HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(::GetLastError(), detail);
    Result result = Result::Done;
    produce([&](const std::string& bytes) {
        for (size_t at = 0; at < bytes.size() && result == Result::Done;) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>((std::min<size_t>)(bytes.size() - at, 1 << 20));
            if (!::WriteFile(file, bytes.data() + at, chunk, &written, nullptr) || written == 0)
                result = Fail(::GetLastError(), detail);
            at += written;
        }
        return result == Result::Done;
    });
    if (result == Result::Done && !::FlushFileBuffers(file))
        result = Fail(::GetLastError(), detail);
    ::CloseHandle(file);
    // A link put at the name meanwhile is replaced itself, never followed.
    if (result == Result::Done
        && !::MoveFileExW(temporary.c_str(), native.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        result = Fail(::GetLastError(), detail);
    if (result != Result::Done)
        ::DeleteFileW(temporary.c_str());
    return result;
}
