// A file that only grows, each addition put on the disk before the call returns: records.
#pragma once

#include <string>
#include <string_view>

// Creates the folder and any missing parents. 0, or the system's error number. Main thread.
int makeFolders(const std::string& path);
// 0 when new files may be made in the folder, or the system's error number. Main thread.
int folderWritable(const std::string& path);
// The system's words for an error number.
std::string systemErrorText(int error);

// Main thread only; closed by its destructor.
class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Creates a file that must not exist yet. 0, or the error number (EEXIST when it does).
    int createNew(const std::string& path);
    bool isOpen() const { return handle_ >= 0; }
    // Appends all of `bytes` and puts them on the disk. When that fails (a full disk), the
    // file is cut back to what it held before, so it never ends in half a line. 0, or the
    // error number.
    int appendAndSync(std::string_view bytes);
    void close();

  private:
    int handle_ = -1;
    long long size_ = 0; // bytes known to be on the disk
};
