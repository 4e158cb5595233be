// Test helpers: a temporary folder that removes itself, and small file utilities.
#pragma once

#include <string>

namespace vandrel::test {

// A fresh folder under the user's temporary folder; the folder and everything in it go with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Path with a trailing backslash.
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

// Removes a folder tree; links are removed, never followed.
void RemoveTree(const std::wstring& folder);

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

}  // namespace vandrel::test
