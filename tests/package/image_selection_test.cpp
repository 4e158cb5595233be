#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/text.h"
#include "package/image_selection.h"
#include "tests/package/package_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "upgrade/target_device.h"

namespace vandrel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

const wchar_t kUntouched[] = L"untouched";

TEST(PickImageByVersionTag, TheOneNameCarryingTheTagIsPicked) {
    struct Case {
        const char* name;
        std::vector<std::wstring> list;
        int version;
        const wchar_t* picked;  // null: none
    };
    const Case cases[] = {
        {"lower-case tag", {L"C:\\r\\fw_V1.img", L"C:\\r\\fw_v2.img"}, 2, L"C:\\r\\fw_v2.img"},
        {"tag anywhere in the name", {L"C:\\r\\DEV1.img"}, 1, L"C:\\r\\DEV1.img"},
        {"V0 is a tag like the others", {L"C:\\r\\fw_V1.img", L"C:\\r\\fw_V0.img"}, 0, L"C:\\r\\fw_V0.img"},
        {"no name carries it", {L"C:\\r\\fw_V1.img", L"C:\\r\\fw_V2.img"}, 0, nullptr},
        {"a folder's name does not count", {L"C:\\r\\V1\\fw.img", L"C:\\fw_V1\\x.img"}, 1, nullptr},
        {"only ASCII letters fold", {L"C:\\r\\fw_\xFF56" L"1.img"}, 1, nullptr},
        {"empty list", {}, 1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring image = kUntouched;
        EXPECT_EQ(c.picked ? ImageChoice::kChosen : ImageChoice::kNone, PickImageByVersionTag(c.list, c.version, image));
        EXPECT_EQ(c.picked ? c.picked : kUntouched, image);
    }
}

// Beside an image that carries the tag itself, one whose tag a digit follows is another version's
// ("fw_V10.img" beside "fw_V1.img"); alone, it is the image (a V0 image named "fw_V01.img").
TEST(PickImageByVersionTag, ATagFollowedByADigitCountsOnlyWhenNoNameCarriesTheTagItself) {
    struct Case {
        const wchar_t* name;
        int version;
        bool exact;  // carries the tag with no digit after it
        bool any;    // carries it at all
    };
    const Case cases[] = {
        {L"fw_V1.img", 1, true, true},        {L"fw_V10.img", 1, false, true},   {L"fw_V12.img", 1, false, true},
        {L"fw_V100.img", 1, false, true},     {L"fw_v1.img", 1, true, true},     {L"A_V1_final.img", 1, true, true},
        {L"image_V1", 1, true, true},         {L"fw_V10_V1.img", 1, true, true}, {L"fw_V1.img", 2, false, false},
        {L"fw_V2.img", 2, true, true},        {L"fw_V21.img", 2, false, true},   {L"fw_V0.img", 0, true, true},
        {L"fw_V01.img", 0, false, true},      {L"TX_V2_FW_V1.2.img", 1, true, true},
        {L"fw_V1\x2081.img", 1, true, true},  // a subscript one is no ASCII digit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "V" << c.version << " in " << std::string(c.name, c.name + wcslen(c.name)));
        const std::wstring path = std::wstring(L"C:\\r\\") + c.name;
        std::wstring image;
        EXPECT_EQ(c.any ? ImageChoice::kChosen : ImageChoice::kNone, PickImageByVersionTag({path}, c.version, image))
            << "alone";
        // Beside a name that carries a digit after the tag: this one wins exactly when it carries the tag itself.
        const std::wstring other = Format(L"C:\\r\\other_V%d9.img", c.version);
        image.clear();
        const ImageChoice beside = PickImageByVersionTag({other, path}, c.version, image);
        if (c.exact) {
            EXPECT_EQ(ImageChoice::kChosen, beside);
            EXPECT_EQ(path, image);
        } else if (c.any) {
            EXPECT_EQ(ImageChoice::kAmbiguous, beside) << "two names with digits after the tag, and they differ";
        } else {
            EXPECT_EQ(ImageChoice::kChosen, beside);
            EXPECT_EQ(other, image);
        }
    }
}

// A folder of images made for one test; root() ends in a backslash, as the run folder does.
class ImageFolderTest : public ::testing::Test {
protected:
    const std::wstring& root() const { return dir_.path(); }
    void Files(std::initializer_list<const wchar_t*> names) {
        FileTree tree;
        for (const wchar_t* name : names) tree[name] = "image";
        ASSERT_TRUE(WriteTree(root(), tree));
    }
    void Folder(const wchar_t* name) { ASSERT_TRUE(::CreateDirectoryW((root() + name).c_str(), nullptr)); }
    // The path as collected: the folder (ending in its backslash), then the rest.
    std::wstring Collected(const std::wstring& relative) const { return root() + relative; }
    std::vector<std::wstring> Collect(const std::wstring& pattern = L"*.img") const {
        std::vector<std::wstring> list;
        CollectFilesRecursive(root(), pattern, list);
        return list;
    }

    TempDir dir_;
};

TEST_F(ImageFolderTest, OnlyFilesMatchingThePatternAreCandidatesAndFoldersAreSearched) {
    Files({L"image_V1.IMG", L"image_V1.img.bak", L"image_V1.bin", L"V1.img\\inner.img", L".hidden\\h_V1.img"});
    Folder(L"empty.img");
    ::SetFileAttributesW((root() + L".hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    EXPECT_THAT(Collect(), UnorderedElementsAre(Collected(L"image_V1.IMG"), Collected(L"V1.img\\inner.img"),
                                                Collected(L".hidden\\h_V1.img")));
    EXPECT_THAT(Collect(L"*.bin"), ElementsAre(Collected(L"image_V1.bin")));
}

TEST_F(ImageFolderTest, CollectionIsDepthFirstInEnumerationOrder) {
    Files({L"a\\b\\c\\deep_V1.img", L"a\\mid_V1.img", L"a_top_V1.img", L"z\\last_V1.img"});
    // The order the file system lists in; the collection must follow it, each folder at once.
    ASSERT_EQ((std::vector<std::wstring>{L"a", L"a_top_V1.img", L"z"}), ListEntries(root()));
    ASSERT_EQ((std::vector<std::wstring>{L"b", L"mid_V1.img"}), ListEntries(root() + L"a\\"));

    EXPECT_THAT(Collect(), ElementsAre(Collected(L"a\\b\\c\\deep_V1.img"), Collected(L"a\\mid_V1.img"),
                                       Collected(L"a_top_V1.img"), Collected(L"z\\last_V1.img")));

    // All four carry "V1" and hold the same bytes: one image, the first collected.
    std::wstring image;
    ASSERT_EQ(ImageChoice::kChosen, FindImageForHardwareVersion(root(), L"*.img", 1, image));
    EXPECT_EQ(Collected(L"a\\b\\c\\deep_V1.img"), image);
    EXPECT_EQ("image", ReadFileBytes(image));
}

TEST_F(ImageFolderTest, AnImageOfAnotherVersionListedFirstIsPassedOver) {
    Files({L"a_V10.img", L"b_V12.img", L"fw_V1.img"});
    ASSERT_EQ((std::vector<std::wstring>{L"a_V10.img", L"b_V12.img", L"fw_V1.img"}), ListEntries(root()));
    std::wstring image;
    ASSERT_EQ(ImageChoice::kChosen, FindImageForHardwareVersion(root(), L"*.img", 1, image));
    EXPECT_EQ(Collected(L"fw_V1.img"), image);
}

// Two different images that both claim the device's version: which one is meant cannot be told.
TEST_F(ImageFolderTest, TwoDifferentImagesForTheVersionAreNamedNotGuessed) {
    ASSERT_TRUE(WriteTree(root(), {{L"TX_V2_FW_V1.2.img", "for the V2 transmitter"},
                                   {L"TX_V1_FW_V1.2.img", "for the V1 transmitter"}, {L"other_V0.img", "v0"}}));
    std::wstring image = kUntouched;
    std::vector<std::wstring> conflicting;
    EXPECT_EQ(ImageChoice::kAmbiguous, FindImageForHardwareVersion(root(), L"*.img", 1, image, &conflicting));
    EXPECT_EQ(kUntouched, image);
    EXPECT_THAT(conflicting, UnorderedElementsAre(Collected(L"TX_V2_FW_V1.2.img"), Collected(L"TX_V1_FW_V1.2.img")));
    // For V2 only one name carries the tag.
    EXPECT_EQ(ImageChoice::kChosen, FindImageForHardwareVersion(root(), L"*.img", 2, image));
    EXPECT_EQ(Collected(L"TX_V2_FW_V1.2.img"), image);
}

TEST_F(ImageFolderTest, AV0ImageNamedWithDigitsAfterItsTagIsTakenWhenItIsTheOnlyOne) {
    Files({L"fw_V01.img", L"fw_V1.img", L"fw_V2.img"});
    std::wstring image;
    ASSERT_EQ(ImageChoice::kChosen, FindImageForHardwareVersion(root(), L"*.img", 0, image));
    EXPECT_EQ(Collected(L"fw_V01.img"), image);
}

TEST_F(ImageFolderTest, DeviceProductIdChoosesTheImage) {
    Files({L"fw_V0.img", L"fw_V1.img", L"sub\\fw_V2.img"});
    struct Case {
        uint16_t productId;
        const wchar_t* image;
    };
    const Case cases[] = {{0x110B, L"fw_V1.img"}, {0x110F, L"sub\\fw_V2.img"}, {0x110C, L"fw_V0.img"},
                          {0x0000, L"fw_V0.img"}, {0xFFFF, L"fw_V0.img"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.productId);
        std::wstring image;
        ASSERT_EQ(ImageChoice::kChosen,
                  FindImageForHardwareVersion(root(), L"*.img", HardwareVersionOf(c.productId), image));
        EXPECT_EQ(Collected(c.image), image);
    }
}

TEST_F(ImageFolderTest, NoImageForTheVersionLeavesThePathUntouched) {
    Files({L"fw_V1.img", L"fw_V2.img", L"V0.img\\readme.txt"});
    std::wstring image = kUntouched;
    EXPECT_EQ(ImageChoice::kNone, FindImageForHardwareVersion(root(), L"*.img", HardwareVersionOf(0x1234), image));
    EXPECT_EQ(kUntouched, image);
}

TEST_F(ImageFolderTest, EmptyOrMissingFolderGivesNothing) {
    std::wstring image = kUntouched;
    EXPECT_EQ(ImageChoice::kNone, FindImageForHardwareVersion(root(), L"*.img", 1, image));
    EXPECT_EQ(ImageChoice::kNone, FindImageForHardwareVersion(root() + L"missing\\", L"*.img", 1, image));
    EXPECT_EQ(kUntouched, image);
    EXPECT_TRUE(Collect().empty());
}

TEST_F(ImageFolderTest, FolderLinkOutOfThePackageIsNeverDescended) {
    TempDir outside;
    ASSERT_TRUE(WriteFileBytes(outside / L"outside_V1.img", "not from the package"));
    UnixFolderLink link(root() + L"a_link", outside.path());
    ASSERT_TRUE(link.made());
    const DWORD attributes = AttributesOf(root() + L"a_link");
    ASSERT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

    std::wstring image = kUntouched;
    EXPECT_EQ(ImageChoice::kNone, FindImageForHardwareVersion(root(), L"*.img", 1, image));
    EXPECT_EQ(kUntouched, image);

    Files({L"z\\inside_V1.img"});
    EXPECT_THAT(Collect(), ElementsAre(Collected(L"z\\inside_V1.img")));
}

}  // namespace
}  // namespace vandrel::test
