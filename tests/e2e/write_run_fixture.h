// What the end-to-end tests of Start Writing share: a package of two images, a plugged transmitter's
// flash, the unpacked images left in the workspace, and the tool's 7za at work.
#pragma once

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "tests/e2e/tool_fixture.h"
#include "tests/package/package_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"

namespace vandrel::test {

// Distinct image contents per hardware version, a few blocks long.
std::string ImageBytes(char tag, size_t size = 200000);

// A stored (uncompressed) package large.bin in folder with three images fw_V0..2.img of imageBytes
// each, so that its unpacking takes long enough to act on meanwhile; empty when it cannot be made.
std::wstring MakeLargePackage(const TempDir& folder, size_t imageBytes);

// Images of a package anywhere below folder (the decoys and the secure copy are named fw_ and hex digits).
std::vector<std::wstring> UnpackedImagesLeft(const std::wstring& folder = WorkspaceBase());

// The 7-Zip that unpacks for the tool: the one of its 7z.exe children still running once the package's
// listing (the other one, quick) has ended. Empty when none came within timeoutMs.
UniqueHandle WaitForExtractionOf(DWORD toolId, DWORD timeoutMs = 30000);

class WriteRunTest : public ToolTest {
protected:
    // A "rockusb" service and a package firmware package.bin with fw_V1.img and sub\fw_V2.img.
    void SetUp() override;

    // Clicks Start Writing and returns the box that ends the click, dismissed.
    MessageBoxInfo StartWritingAndReadBox(DWORD timeoutMs = 60000) {
        return ClickAndReadBox(IDC_START_WRITING, timeoutMs);
    }

    std::string Flash(const std::wstring& device) { return ReadFileBytes(VirtualFlashPath(device)); }

    RockusbServiceGuard service_;
    PluggedDevices devices_;
    TempDir content_, folder_;
    FileTree images_;
    std::wstring package_;
};

}  // namespace vandrel::test
