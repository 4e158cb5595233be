// Private folders get their access list (and label) in the call that creates them. Checked as the
// descriptor built: Wine keeps neither access lists nor labels on files.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "workspace/owner_only_acl.h"
#include "workspace/private_folder.h"

namespace vandrel::test {
namespace {

// Whether two ACLs hold the same entries in the same order.
bool SameEntries(PACL a, PACL b) {
    if (!a || !b || a->AceCount != b->AceCount) return false;
    for (DWORD i = 0; i < a->AceCount; ++i) {
        void* x = nullptr;
        void* y = nullptr;
        if (!::GetAce(a, i, &x) || !::GetAce(b, i, &y)) return false;
        const WORD size = static_cast<ACE_HEADER*>(x)->AceSize;
        if (size != static_cast<ACE_HEADER*>(y)->AceSize || memcmp(x, y, size) != 0) return false;
    }
    return true;
}

struct LabelCase {
    const char* name;
    FolderLabel label;
    bool labelled;
    DWORD policy;  // of the label entry, when labelled
};

class PrivateFolder : public ::testing::TestWithParam<LabelCase> {};

TEST_P(PrivateFolder, DescriptorIsTheProtectedOwnerOnlyListAndTheLabelWhenAskedFor) {
    PrivateFolderSecurity security(GetParam().label);
    ASSERT_NE(nullptr, security.attributes());
    EXPECT_EQ(&security.descriptor(), security.attributes()->lpSecurityDescriptor);
    EXPECT_FALSE(security.attributes()->bInheritHandle);
    auto* descriptor = const_cast<SECURITY_DESCRIPTOR*>(&security.descriptor());
    ASSERT_TRUE(::IsValidSecurityDescriptor(descriptor));

    PSID owner = nullptr;
    BOOL ownerDefaulted = TRUE;
    ASSERT_TRUE(::GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted));
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
    ASSERT_NE(nullptr, owner) << "the owner is set, not left to the system";
    EXPECT_TRUE(::EqualSid(owner, administrators)) << "owner Administrators, S-1-5-32-544";
    EXPECT_FALSE(ownerDefaulted);

    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the parent";

    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    const UniqueLocal expected = BuildOwnerOnlyAcl();
    EXPECT_TRUE(SameEntries(dacl, static_cast<PACL>(expected.get()))) << "LocalSystem and the user, nobody else";

    PACL sacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted));
    EXPECT_EQ(GetParam().labelled, present && sacl && sacl->AceCount == 1);
    if (GetParam().labelled && sacl) {
        void* ace = nullptr;
        ASSERT_TRUE(::GetAce(sacl, 0, &ace));
        EXPECT_EQ(SYSTEM_MANDATORY_LABEL_ACE_TYPE, static_cast<ACE_HEADER*>(ace)->AceType);
        EXPECT_EQ(GetParam().policy, static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace)->Mask);
        EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, static_cast<ACE_HEADER*>(ace)->AceFlags)
            << "what is made inside inherits it";
    }
}

TEST_P(PrivateFolder, IsMadeOnlyWhereNothingOfItsNameExists) {
    TempDir parent;
    EXPECT_TRUE(CreatePrivateFolder(parent / L"new\\", GetParam().label));
    EXPECT_TRUE(FolderExists(parent / L"new"));
    EXPECT_FALSE(CreatePrivateFolder(parent / L"new", GetParam().label));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), ::GetLastError());
    EXPECT_FALSE(CreatePrivateFolder(parent / L"missing\\new", GetParam().label)) << "parents are not made";
    const UniqueFile held = CreatePrivateFolderHeld(parent / L"held", GetParam().label, DELETE, 0);
    ASSERT_TRUE(held) << "error " << ::GetLastError();
    EXPECT_FALSE(CreatePrivateFolderHeld(parent / L"held", GetParam().label));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), ::GetLastError()) << "never an existing one, even held";
}

INSTANTIATE_TEST_SUITE_P(Labels, PrivateFolder,
                         ::testing::Values(LabelCase{"Inherited", FolderLabel::kInherited, false, 0},
                                           LabelCase{"HighNoWriteUp", FolderLabel::kHighNoWriteUp, true,
                                                     SYSTEM_MANDATORY_LABEL_NO_WRITE_UP},
                                           // Run and decoy folders: the firmware is not readable from below.
                                           LabelCase{"HighNoReadWriteUp", FolderLabel::kHighNoReadWriteUp, true,
                                                     SYSTEM_MANDATORY_LABEL_NO_WRITE_UP |
                                                         SYSTEM_MANDATORY_LABEL_NO_READ_UP}),
                         [](const ::testing::TestParamInfo<LabelCase>& info) { return info.param.name; });

}  // namespace
}  // namespace vandrel::test
