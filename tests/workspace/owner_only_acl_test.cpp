#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "workspace/owner_only_acl.h"

namespace vandrel::test {
namespace {

// The token user as read here, independently of the code under test.
std::vector<BYTE> TokenUserBytes() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    UniqueHandle token(raw);
    std::vector<BYTE> info(1024);
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenUser, info.data(), static_cast<DWORD>(info.size()), &size))
        return {};
    return info;
}

PSID UserSidOf(std::vector<BYTE>& tokenUser) { return reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid; }

TEST(OwnerOnlyAcl, CurrentUserSidIsACopyOfTheTokenUser) {
    std::vector<BYTE> tokenUser = TokenUserBytes();
    ASSERT_FALSE(tokenUser.empty());
    const UniqueLocal sid = GetCurrentUserSid();
    ASSERT_TRUE(sid);
    ASSERT_TRUE(::IsValidSid(sid.get()));
    EXPECT_TRUE(::EqualSid(sid.get(), UserSidOf(tokenUser)));
    EXPECT_NE(sid.get(), UserSidOf(tokenUser));
}

TEST(OwnerOnlyAcl, GrantsFullInheritedAccessToLocalSystemAndTheUserOnly) {
    BYTE systemSid[SECURITY_MAX_SID_SIZE];
    DWORD systemSidSize = sizeof systemSid;
    ASSERT_TRUE(::CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &systemSidSize));
    std::vector<BYTE> tokenUser = TokenUserBytes();
    ASSERT_FALSE(tokenUser.empty());
    const PSID expected[] = {systemSid, UserSidOf(tokenUser)};

    const UniqueLocal acl = BuildOwnerOnlyAcl();
    ASSERT_TRUE(acl);
    const PACL list = static_cast<PACL>(acl.get());
    ASSERT_TRUE(::IsValidAcl(list));
    ACL_SIZE_INFORMATION sizes{};
    ASSERT_TRUE(::GetAclInformation(list, &sizes, sizeof sizes, AclSizeInformation));
    ASSERT_EQ(2u, sizes.AceCount);

    for (DWORD i = 0; i < 2; ++i) {
        void* raw = nullptr;
        ASSERT_TRUE(::GetAce(list, i, &raw));
        const auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType) << "entry " << i;
        EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, ace->Header.AceFlags) << "entry " << i;
        EXPECT_EQ(static_cast<ACCESS_MASK>(GENERIC_ALL), ace->Mask) << "entry " << i;
        EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&ace->SidStart), expected[i])) << "entry " << i;
    }
}

TEST(OwnerOnlyAcl, ApplyReportsWhetherTheAclWasSet) {
    TempDir dir;
    EXPECT_TRUE(ApplyOwnerOnlyAcl(dir.path()));
    EXPECT_FALSE(ApplyOwnerOnlyAcl(dir / L"missing\\"));
}

}  // namespace
}  // namespace vandrel::test
