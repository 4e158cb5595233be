// Start Writing where something should not be written: two different images for one version, a disk
// that fills during the copy, a package whose unpacking was cut short, and images nested deeper than
// MAX_PATH. Nothing wrong reaches the device, and nothing decrypted stays behind.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/text.h"
#include "tests/e2e/write_run_fixture.h"
#include "tests/workspace/workspace_test_support.h"

namespace vandrel::test {
namespace {

using SafeWriteTest = WriteRunTest;

bool AnyDeviceWritten() {
    for (const ListedDevice& device : ListVirtualDevices())
        if (device.written) return true;
    return false;
}

TEST_F(SafeWriteTest, TwoDifferentImagesForTheVersionAreRefusedByName) {
    TempDir content;
    ASSERT_TRUE(WriteTree(content.path(), {{L"TX_V2_FW_V1.2.img", ImageBytes('2')},
                                           {L"old\\TX_V1_FW_V1.2.img", ImageBytes('1')}}));
    const std::wstring package = folder_ / L"two versions.bin";
    ASSERT_EQ(0, MakePackage(content.path(), package, kPackagePassword));
    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 200").empty());
    SetFirmwarePath(package);
    const MessageBoxInfo box = StartWritingAndReadBox();
    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(0u, box.text.find(L"More than one different image in the package fits hardware version V1:\n"));
    EXPECT_NE(std::wstring::npos, box.text.find(L"  TX_V2_FW_V1.2.img\n"));
    EXPECT_NE(std::wstring::npos, box.text.find(L"  old\\TX_V1_FW_V1.2.img\n"));
    EXPECT_FALSE(AnyDeviceWritten());
    EXPECT_TRUE(UnpackedImagesLeft().empty());
    CloseAndExpectExit();
}

TEST_F(SafeWriteTest, ACopyOnAFullDiskIsToldAsSuch) {
    // The workspace on a volume of 8 MiB, the picked image larger than that.
    TempDir local;
    const RelocatedLocalAppData relocated(local.path());
    ASSERT_TRUE(relocated.relocated());
    SmallVolume volume(local.path(), 8);
    if (!volume.mounted()) GTEST_SKIP() << "no small volume can be mounted for the workspace here (needs root)";
    const std::wstring image = folder_ / L"fw_V1.img";
    ASSERT_TRUE(WriteFileBytes(image, ImageBytes('1', 12 << 20)));

    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 200").empty());
    SetFirmwarePath(image);
    const MessageBoxInfo box = StartWritingAndReadBox();
    const std::vector<std::wstring> lines = MessageLines();
    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(Format(L"The secure copy of the image failed: the disk that holds %s is full.\n"
                     L"Free some disk space and try again.",
                     WorkspaceBase().c_str()),
              box.text)
        << (lines.empty() ? std::string() : std::string(lines.back().begin(), lines.back().end()));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(0u, lines.back().find(L"The secure copy failed after ")) << "the system's reason is kept in the list";
    EXPECT_FALSE(AnyDeviceWritten());
    CloseAndExpectExit();
}

TEST_F(SafeWriteTest, AnImageDeeperThanMaxPathIsWrittenAndNothingIsLeft) {
    std::wstring deep;
    for (int level = 0; level < 9; ++level) deep += L"a folder with a rather long name, level " + std::to_wstring(level) + L"\\";
    TempDir content;
    ASSERT_TRUE(WriteTree(content.path(), {{deep + L"fw_V1.img", ImageBytes('1')}, {deep + L"fw_V2.img", ImageBytes('2')}}));
    const std::wstring package = folder_ / L"deep.bin";
    ASSERT_EQ(0, MakePackage(content.path(), package, kPackagePassword));
    ASSERT_GT(WorkspaceBase().size() + 33 + deep.size(), static_cast<size_t>(MAX_PATH));

    ASSERT_TRUE(Start());
    const std::wstring device = devices_.Plug(L"--pid 0x110B --upgrade-ms 200");
    SetFirmwarePath(package);
    EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);
    EXPECT_EQ(ImageBytes('1'), Flash(device));
    EXPECT_TRUE(ListEntries(WorkspaceBase()).empty()) << "the deep folders went with the run";
    CloseAndExpectExit();
}

// A package large enough that its unpacking can be caught at work.
class LargePackageTest : public WriteRunTest {
protected:
    void SetUp() override {
        WriteRunTest::SetUp();
        large_ = ImageBytes('1', 192 << 20);
        ASSERT_TRUE(WriteTree(content_.path(), {{L"fw_V1.img", large_}}));
        package_ = folder_ / L"large.bin";
        ASSERT_EQ(0, MakePackage(content_.path(), package_, kPackagePassword, L"-mx0"));
    }

    // The image 7za is writing in the run folder, once it holds more than minimum bytes.
    bool ImageBeingWritten(uint64_t minimum) {
        for (const std::wstring& name : ListEntries(WorkspaceBase())) {
            const std::wstring image = WorkspaceBase() + name + L"\\fw_V1.img";
            WIN32_FILE_ATTRIBUTE_DATA data{};
            if (::GetFileAttributesExW(image.c_str(), GetFileExInfoStandard, &data) &&
                ((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow) > minimum)
                return true;
        }
        return false;
    }

    std::string large_;
};

// 7za ended from outside in the middle of the image, with exit code 0 as if it had finished: the image is
// only part of itself, and the package's own listing says so.
TEST_F(LargePackageTest, AnUnpackingCutShortIsNeverWritten) {
    ASSERT_TRUE(Start());
    const std::wstring device = devices_.Plug(L"--pid 0x110B --upgrade-ms 200");
    ASSERT_FALSE(device.empty());
    SetFirmwarePath(package_);
    ASSERT_TRUE(tool_->Click(IDC_START_WRITING));
    const UniqueHandle sevenZip = WaitForExtractionOf(tool_->id());
    ASSERT_TRUE(sevenZip);
    ASSERT_TRUE(WaitFor([&] { return ImageBeingWritten(16 << 20); }, 30000)) << "7za writes the image";
    ASSERT_TRUE(::TerminateProcess(sevenZip.get(), 0));

    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(tool_->id(), &box, 60000));
    EXPECT_EQ(L"7z Extraction Failed", box.caption);
    EXPECT_EQ(0u, box.text.find(L"Extraction failed: the unpacked image fw_V1.img is not whole. The package lists "
                                + std::to_wstring(large_.size()) + L" bytes"))
        << std::string(box.text.begin(), box.text.end());
    DismissMessageBox(box.window);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box.window); }));
    EXPECT_EQ(box.text, MessageLines().back()) << "the line names the entry and both sizes";
    ListedDevice listed;
    ASSERT_TRUE(FindListedDevice(device, listed));
    EXPECT_FALSE(listed.written) << "nothing reached the device";
    EXPECT_TRUE(UnpackedImagesLeft().empty());
    CloseAndExpectExit();
}

TEST_F(LargePackageTest, EndingTheToolDuringTheUnpackingEndsItsSevenZip) {
    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 200").empty());
    SetFirmwarePath(package_);
    ASSERT_TRUE(tool_->Click(IDC_START_WRITING));
    const UniqueHandle sevenZip = WaitForExtractionOf(tool_->id());
    ASSERT_TRUE(sevenZip);
    tool_->Kill();
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(sevenZip.get(), 10000))
        << "7za goes on writing decrypted firmware with nobody left to delete it";
    // The next start empties what was unpacked before the tool was ended.
    ASSERT_TRUE(Start());
    EXPECT_TRUE(UnpackedImagesLeft().empty());
    CloseAndExpectExit();
}

}  // namespace
}  // namespace vandrel::test
