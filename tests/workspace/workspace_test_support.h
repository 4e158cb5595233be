// Helpers for the workspace tests: a saved-and-restored workspace base folder, restart-deletion
// registrations, locked files and folder links made from the Unix side.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/unique_handle.h"
#include "tests/support/seam_override.h"
#include "tests/support/driving.h"
#include "workspace/decoys.h"
#include "workspace/secure_workspace.h"

namespace vandrel::test {

// The real workspace base folder moved aside for the object's lifetime, so a test starts with an empty
// one and leaves what was there untouched. Put back with retries: a helper program that has just ended
// may still hold the folder as its working directory for a moment.
class SavedWorkspace {
public:
    SavedWorkspace();
    ~SavedWorkspace();
    SavedWorkspace(const SavedWorkspace&) = delete;
    SavedWorkspace& operator=(const SavedWorkspace&) = delete;
    bool moved() const { return moved_; }
    // The (new, empty) base folder, with its trailing backslash.
    const std::wstring& base() const { return base_; }

private:
    std::wstring base_;
    std::wstring saved_;
    bool moved_ = false;
};

// A test whose workspace base folder is a SavedWorkspace's: empty at the start, put back at the end.
class WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { workspace_.reset(); }
    const std::wstring& base() const { return workspace_->base(); }

private:
    std::unique_ptr<SavedWorkspace> workspace_;
};

// The seams of the workspace, replaced for a test's lifetime.
struct NameDigitsOverride : SeamOverride<NameDigitsSource> {
    explicit NameDigitsOverride(NameDigitsSource source) : SeamOverride(&SetNameDigitsSource, source) {}
};
struct RandomOverride : SeamOverride<RandomSource> {
    explicit RandomOverride(RandomSource source) : SeamOverride(&SetRandomSource, source) {}
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

// The user's local application-data folder (CSIDL_LOCAL_APPDATA, and with it the tool's workspace)
// moved to folder for the object's lifetime, for this process and the programs it starts; put back when
// the object goes. The tool refuses a workspace base folder that is itself a mount point, so a small
// volume for a full disk is mounted on the relocated folder instead.
class RelocatedLocalAppData {
public:
    explicit RelocatedLocalAppData(const std::wstring& folder);
    ~RelocatedLocalAppData();
    RelocatedLocalAppData(const RelocatedLocalAppData&) = delete;
    RelocatedLocalAppData& operator=(const RelocatedLocalAppData&) = delete;
    bool relocated() const { return relocated_; }

private:
    std::wstring previous_;
    bool relocated_ = false;
};

// A second name (a hard link) for the file target, made with /bin/ln; true once it is there.
bool MakeUnixHardLink(const std::wstring& link, const std::wstring& target);

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
