#include "workspace/workspace_log_folder.h"

#include <windows.h>

#include "common/text.h"
#include "workspace/private_folder.h"
#include "workspace/relative_file.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

UniqueFile OpenWorkspaceLogFolder(std::wstring& path) {
    path.clear();
    const std::wstring base = GetWorkspaceBaseFolder();
    if (base.empty()) return UniqueFile();
    const std::wstring folder = base + kWorkspaceLogFolderName + L"\\";
    // There from an earlier start when this fails; the open below judges what is there.
    CreatePrivateFolder(folder, FolderLabel::kHighNoWriteUp);
    UniqueFile held = OpenFolderNoFollow(folder);
    if (held) path = folder;
    return held;
}

bool IsWorkspaceLogFolder(const std::wstring& name, unsigned long attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           AsciiLower(name) == AsciiLower(kWorkspaceLogFolderName);
}

}  // namespace vandrel
