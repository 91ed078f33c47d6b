// Read-only mapping of a whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

class MappedFile {
public:
    // Maps the file; nothing when it cannot be opened or mapped. An empty file maps to an
    // empty view. Any thread.
    static std::optional<MappedFile> open(const char* path);

    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    MappedFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};
