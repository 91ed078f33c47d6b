// Replacing a file's contents on Windows: a temporary file beside it, FlushFileBuffers, and
// MoveFileEx over the old one (rename refuses an existing target); in place where the folder
// is closed.
#include "platform/file_replace.hpp"

#include <filesystem>

#include "platform/win32/win32_shared.hpp"

namespace {

// The system's sentence for an error code, without its line end.
std::string describe(DWORD code) {
    wchar_t text[256] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, 256, nullptr);
    std::string out = win32::wideToUtf8(std::wstring_view(text, length));
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
        out.pop_back();
    return out.empty() ? "error " + std::to_string(code) : out;
}

bool fail(std::string& error, const char* target, DWORD code) {
    error = std::string("cannot write ") + target + ": " + describe(code);
    return false;
}

// Writes everything and puts it on the disk; the handle is closed either way.
bool writeAndClose(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    ok = FlushFileBuffers(file) && ok;
    const DWORD code = GetLastError();
    ok = CloseHandle(file) && ok;
    if (!ok) SetLastError(code);
    return ok;
}

} // namespace

bool replaceFileContents(const char* path, std::string_view bytes, std::string& error) {
    const std::wstring widePath = win32::utf8ToWide(path);
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) {
        error = std::string(path) + " is read-only";
        return false;
    }
    std::wstring folder = std::filesystem::path(widePath).parent_path().wstring();
    if (folder.empty()) folder = L".";
    wchar_t temporary[MAX_PATH] = {};
    // A name of its own in the file's folder, so the rename stays on one volume.
    if (GetTempFileNameW(folder.c_str(), L"cfg", 0, temporary) != 0) {
        const HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        bool ok = file != INVALID_HANDLE_VALUE && writeAndClose(file, bytes);
        // The new file keeps what the user set on the old one (hidden, archive, ...).
        if (ok && exists) SetFileAttributesW(temporary, attributes);
        ok = ok && MoveFileExW(temporary, widePath.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (ok) return true;
        const DWORD code = GetLastError();
        DeleteFileW(temporary);
        return fail(error, path, code);
    }
    // No file can be made in the folder: write the file in place, which may still be allowed.
    const DWORD createError = GetLastError();
    if (createError != ERROR_ACCESS_DENIED) return fail(error, path, createError);
    const HANDLE file = CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail(error, path, GetLastError());
    return writeAndClose(file, bytes) || fail(error, path, GetLastError());
}
