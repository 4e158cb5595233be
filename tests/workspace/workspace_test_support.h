// Helpers for the workspace tests: a saved-and-restored workspace base folder, restart-deletion
// registrations, locked files and folder links made from the Unix side.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/unique_handle.h"
#include "tests/support/window_driver.h"
#include "workspace/decoys.h"
#include "workspace/secure_workspace.h"

namespace vandrel::test {

// The real workspace base folder, moved aside for the test and put back afterwards, so each test starts
// with an empty base folder and leaves what was there untouched.
class WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    const std::wstring& base() const { return base_; }

private:
    std::wstring base_;
    std::wstring saved_;
    bool moved_ = false;
};

// Swaps the source of workspace name digits for the test's lifetime.
class NameDigitsOverride {
public:
    explicit NameDigitsOverride(NameDigitsSource source) : previous_(SetNameDigitsSource(source)) {}
    ~NameDigitsOverride() { SetNameDigitsSource(previous_); }
    NameDigitsOverride(const NameDigitsOverride&) = delete;
    NameDigitsOverride& operator=(const NameDigitsOverride&) = delete;

private:
    NameDigitsSource previous_;
};

// Swaps the random source for the test's lifetime.
class RandomOverride {
public:
    explicit RandomOverride(RandomSource source) : previous_(SetRandomSource(source)) {}
    ~RandomOverride() { SetRandomSource(previous_); }
    RandomOverride(const RandomOverride&) = delete;
    RandomOverride& operator=(const RandomOverride&) = delete;

private:
    RandomSource previous_;
};

// Names in folder (without "." and ".."), in listing order.
std::vector<std::wstring> ListEntries(const std::wstring& folder);
bool IsUpperHex(const std::wstring& text, size_t length);
DWORD AttributesOf(const std::wstring& path);

// Restart deletions recorded in PendingFileRenameOperations.
bool IsRegisteredForDeletion(const std::wstring& path);
// Every path registered for deletion at restart, as recorded.
std::vector<std::wstring> PendingDeletionPaths();
void RemoveDeletionRegistration(const std::wstring& path);

// Removes a test's restart registration of path when it goes.
class RegistrationCleanup {
public:
    explicit RegistrationCleanup(std::wstring path) : path_(std::move(path)) {}
    ~RegistrationCleanup() { RemoveDeletionRegistration(path_); }

private:
    std::wstring path_;
};

// A file held open without FILE_SHARE_DELETE: deleting it fails with a sharing violation.
UniqueFile LockFile(const std::wstring& path);

// A directory symlink made with /bin/ln (Wine cannot make links itself nor delete them); removed again
// from the Unix side when the object goes.
class UnixFolderLink {
public:
    UnixFolderLink(const std::wstring& link, const std::wstring& target);
    ~UnixFolderLink();
    UnixFolderLink(const UnixFolderLink&) = delete;
    UnixFolderLink& operator=(const UnixFolderLink&) = delete;
    bool made() const { return made_; }

private:
    std::wstring link_;
    bool made_ = false;
};

// A small tmpfs mounted over folder from the Unix side, for a full disk; unmounted again when the object
// goes. Needs the right to mount (root); mounted() tells whether it could be had.
class SmallVolume {
public:
    SmallVolume(const std::wstring& folder, unsigned sizeMiB);
    ~SmallVolume();
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::wstring folder_;
    bool mounted_ = false;
};

}  // namespace vandrel::test
