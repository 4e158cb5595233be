// The mandatory label of the workspace base folder, checked as the object built: Wine keeps no labels
// on files, so reading the folder back would say nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include "workspace/integrity_label.h"

namespace vandrel::test {
namespace {

TEST(IntegrityLabel, IsOneHighNoWriteUpEntryInheritedBySubfoldersAndFiles) {
    const UniqueLocal label = BuildHighIntegrityLabel();
    ASSERT_TRUE(label);
    const PACL acl = static_cast<PACL>(label.get());
    ASSERT_TRUE(::IsValidAcl(acl));
    ASSERT_EQ(1u, acl->AceCount);

    void* raw = nullptr;
    ASSERT_TRUE(::GetAce(acl, 0, &raw));
    const auto* ace = static_cast<const SYSTEM_MANDATORY_LABEL_ACE*>(raw);
    EXPECT_EQ(SYSTEM_MANDATORY_LABEL_ACE_TYPE, ace->Header.AceType);
    EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, ace->Header.AceFlags);
    EXPECT_EQ(static_cast<ACCESS_MASK>(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP), ace->Mask);

    BYTE high[SECURITY_MAX_SID_SIZE];
    DWORD highSize = sizeof high;
    ASSERT_TRUE(::CreateWellKnownSid(WinHighLabelSid, nullptr, high, &highSize));
    PSID sid = const_cast<DWORD*>(&ace->SidStart);
    EXPECT_TRUE(::EqualSid(sid, high)) << "High integrity, S-1-16-12288";
    EXPECT_EQ(SECURITY_MANDATORY_HIGH_RID, *::GetSidSubAuthority(sid, 0));
}

}  // namespace
}  // namespace vandrel::test
