#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/restricted_token.h"
#include "common/unique_handle.h"
#include "tests/common/token_facts.h"

namespace vandrel {
namespace {

PSID UserOf(const std::vector<BYTE>& user) { return reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid; }

// The token as built, read back: what the helper gets however the system then treats it.
TEST(RestrictedToken, DeniesAdministratorsDropsPrivilegesAndKeepsUserAndLevel) {
    UniqueHandle own;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, own.put()));
    const UniqueHandle token = MakeRestrictedToken();
    ASSERT_TRUE(token);

    const std::string ownFacts = test::TokenFacts(own.get());
    EXPECT_EQ("administrators=deny-only privileges=SeChangeNotifyPrivilege" + ownFacts.substr(ownFacts.find(" integrity=")),
              test::TokenFacts(token.get()));

    TOKEN_TYPE type{};
    DWORD size = 0;
    ASSERT_TRUE(::GetTokenInformation(token.get(), TokenType, &type, sizeof type, &size));
    EXPECT_EQ(TokenPrimary, type);
    const std::vector<BYTE> ownUser = TokenInformation(own.get(), TokenUser);
    const std::vector<BYTE> user = TokenInformation(token.get(), TokenUser);
    ASSERT_FALSE(ownUser.empty());
    ASSERT_FALSE(user.empty());
    EXPECT_TRUE(::EqualSid(UserOf(ownUser), UserOf(user)));
}

// What the helper makes (its process, files where no access list is inherited) admits the user and SYSTEM,
// and is not owned by Administrators, which the helper may no longer act as. (An elevated token's owner is
// Administrators on Windows, and the token then names the user; Wine's tokens are owned by another group.)
TEST(RestrictedToken, ObjectsItMakesBelongToTheUser) {
    const UniqueHandle token = MakeRestrictedToken();
    ASSERT_TRUE(token);
    const std::vector<BYTE> user = TokenInformation(token.get(), TokenUser);
    const std::vector<BYTE> owner = TokenInformation(token.get(), TokenOwner);
    const std::vector<BYTE> dacl = TokenInformation(token.get(), TokenDefaultDacl);
    ASSERT_FALSE(user.empty());
    ASSERT_FALSE(owner.empty());
    ASSERT_FALSE(dacl.empty());
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD administratorsSize = sizeof administrators;
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize));
    EXPECT_FALSE(::EqualSid(administrators, reinterpret_cast<const TOKEN_OWNER*>(owner.data())->Owner));

    PACL acl = reinterpret_cast<const TOKEN_DEFAULT_DACL*>(dacl.data())->DefaultDacl;
    ASSERT_NE(nullptr, acl);
    ASSERT_EQ(2u, acl->AceCount);
    BYTE system[SECURITY_MAX_SID_SIZE] = {};
    DWORD systemSize = sizeof system;
    ASSERT_TRUE(::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize));
    const PSID expected[] = {system, UserOf(user)};
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* entry = nullptr;
        ASSERT_TRUE(::GetAce(acl, i, &entry));
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, allowed->Header.AceType);
        EXPECT_EQ(static_cast<DWORD>(GENERIC_ALL), allowed->Mask);
        EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&allowed->SidStart), expected[i]));
    }
}

}  // namespace
}  // namespace vandrel
