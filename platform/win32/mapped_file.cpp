// Read-only file mapping on Windows: CreateFileMapping and MapViewOfFile of the whole file.
#include "platform/mapped_file.hpp"

#include <utility>

#include "platform/win32/win32_shared.hpp"

std::optional<MappedFile> MappedFile::open(const char* path) {
    if (!path) return std::nullopt;
    const HANDLE file = CreateFileW(win32::utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) ||
        static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
        CloseHandle(file);
        return std::nullopt;
    }
    // A mapping of zero bytes cannot be made; an empty file is an empty view.
    if (size.QuadPart == 0) {
        CloseHandle(file);
        return MappedFile(nullptr, 0);
    }
    const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    if (!mapping) return std::nullopt;
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(mapping); // the view keeps the mapping and the file open
    if (!view) return std::nullopt;
    return MappedFile(static_cast<const std::uint8_t*>(view),
                      static_cast<std::size_t>(size.QuadPart));
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        if (data_) UnmapViewOfFile(data_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

MappedFile::~MappedFile() {
    if (data_) UnmapViewOfFile(data_);
}
