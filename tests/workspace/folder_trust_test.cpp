// Whether a folder is the tool's own: the decision on built owners and labels (Wine keeps neither on
// files, so only a built object shows every case), and the judgement of real folders against one the
// tool has just made.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>

#include "tests/support/temp_dir.h"
#include "workspace/folder_trust.h"
#include "workspace/owner_only_acl.h"
#include "workspace/private_folder.h"

namespace vandrel::test {
namespace {

struct Sid {
    explicit Sid(WELL_KNOWN_SID_TYPE type) {
        DWORD size = sizeof bytes;
        ::CreateWellKnownSid(type, nullptr, bytes, &size);
    }
    PSID get() { return bytes; }
    BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
};

// A SACL with one mandatory label entry of level, policy and flags; or none for kNoLabel.
struct Label {
    Label(WELL_KNOWN_SID_TYPE level, DWORD policy, BYTE flags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) {
        Sid sid(level);
        ::InitializeAcl(acl(), sizeof bytes, ACL_REVISION);
        ::AddMandatoryAce(acl(), ACL_REVISION, flags, policy, sid.get());
    }
    PACL acl() { return reinterpret_cast<PACL>(bytes); }
    alignas(DWORD) BYTE bytes[128] = {};
};

constexpr DWORD kNoWriteUp = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP;
constexpr DWORD kNoReadWriteUp = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP;

TEST(FolderTrustDecision, OnlyAnAdministratorsOrSystemOwnerWithAHighNoWriteUpLabelIsTheTools) {
    UniqueLocal user = GetCurrentUserSid();
    ASSERT_TRUE(user);
    Sid administrators(WinBuiltinAdministratorsSid), system(WinLocalSystemSid), everyone(WinWorldSid),
        users(WinBuiltinUsersSid);
    Label high(WinHighLabelSid, kNoWriteUp), highNoRead(WinHighLabelSid, kNoReadWriteUp),
        systemLevel(WinSystemLabelSid, kNoWriteUp), medium(WinMediumLabelSid, kNoWriteUp),
        low(WinLowLabelSid, kNoWriteUp), highNoPolicy(WinHighLabelSid, SYSTEM_MANDATORY_LABEL_NO_READ_UP),
        highInheritOnly(WinHighLabelSid, kNoWriteUp, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE);
    BYTE emptyBytes[64] = {};
    PACL empty = reinterpret_cast<PACL>(emptyBytes);
    ASSERT_TRUE(::InitializeAcl(empty, sizeof emptyBytes, ACL_REVISION));
    struct Case {
        const char* what;
        PSID owner;
        PACL label;
        bool tools;
    };
    const Case cases[] = {
        {"Administrators, High no-write-up", administrators.get(), high.acl(), true},
        {"Administrators, High no-read-up too", administrators.get(), highNoRead.acl(), true},
        {"SYSTEM, High no-write-up", system.get(), high.acl(), true},
        {"Administrators, System level", administrators.get(), systemLevel.acl(), true},
        {"the user as owner, High label", user.get(), high.acl(), false},
        {"the user, no label (made beforehand)", user.get(), nullptr, false},
        {"Everyone as owner", everyone.get(), high.acl(), false},
        {"Users as owner", users.get(), high.acl(), false},
        {"no owner", nullptr, high.acl(), false},
        {"Administrators, no label", administrators.get(), nullptr, false},
        {"Administrators, an empty SACL", administrators.get(), empty, false},
        {"Administrators, Medium label", administrators.get(), medium.acl(), false},
        {"Administrators, Low label", administrators.get(), low.acl(), false},
        {"Administrators, High without no-write-up", administrators.get(), highNoPolicy.acl(), false},
        {"Administrators, High only for what is made inside", administrators.get(), highInheritOnly.acl(), false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.tools, IsToolsOwnSecurity(c.owner, c.label)) << c.what;
}

// What the tool sets at creation passes its own check: owner Administrators and the label, for both
// labelled kinds; a folder without a label of its own does not.
TEST(FolderTrustDecision, ThePrivateFolderDescriptorIsTheTools) {
    for (FolderLabel kind : {FolderLabel::kHighNoWriteUp, FolderLabel::kHighNoReadWriteUp, FolderLabel::kInherited}) {
        PrivateFolderSecurity security(kind);
        auto* descriptor = const_cast<SECURITY_DESCRIPTOR*>(&security.descriptor());
        PSID owner = nullptr;
        BOOL defaulted = TRUE, present = FALSE;
        PACL sacl = nullptr;
        ASSERT_TRUE(::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
        ASSERT_TRUE(::GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted));
        EXPECT_EQ(kind != FolderLabel::kInherited, IsToolsOwnSecurity(owner, present ? sacl : nullptr))
            << static_cast<int>(kind);
    }
}

UniqueFile OpenToRead(const std::wstring& folder) {
    return UniqueFile(::CreateFileW(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Real folders: another folder made like the reference is the tool's; one made with a plain
// CreateDirectoryW (as any program of the user makes one) is not, whether the platform keeps owners and
// labels (the decision) or not (Wine: then owner and access list are compared with the reference's).
TEST(FolderTrust, TellsAFolderMadeByTheToolFromOneMadeWithoutItsSecurity) {
    TempDir parent;
    const UniqueFile reference = CreatePrivateFolderHeld(parent / L"reference", FolderLabel::kHighNoWriteUp);
    ASSERT_TRUE(reference);
    const FolderTrust trust(reference.get());
    if (!trust.whole()) std::cout << "[          ] this platform keeps no owner or label: the check is partial\n";

    ASSERT_TRUE(CreatePrivateFolder(parent / L"again", FolderLabel::kHighNoWriteUp));
    ASSERT_TRUE(::CreateDirectoryW((parent / L"plain").c_str(), nullptr));
    const UniqueFile again = OpenToRead(parent / L"again");
    const UniqueFile plain = OpenToRead(parent / L"plain");
    ASSERT_TRUE(again && plain);
    EXPECT_TRUE(trust.IsToolsOwn(again.get()));
    EXPECT_FALSE(trust.IsToolsOwn(plain.get()));
    EXPECT_TRUE(trust.IsToolsOwn(reference.get()));
}

}  // namespace
}  // namespace vandrel::test
