#include "tests/support/stand_in_fixture.h"

#include "tests/support/driving.h"

namespace vandrel::test {

void StandInTest::SetUp() {
    ASSERT_TRUE(UnplugAllVirtualDevices());
    ASSERT_TRUE(service.Install());
    library.reset(::LoadLibraryW((BinFolder() + L"RKUpgrade.dll").c_str()));
    ASSERT_TRUE(library) << "RKUpgrade.dll beside the test program, error " << ::GetLastError();
    std::string missing;
    binding = UpgradeLibrary::Bind(library.get(), &missing);
    ASSERT_NE(nullptr, binding) << "missing entry point " << missing;
    ASSERT_TRUE(binding->Initialize(logs.path()));
}

}  // namespace vandrel::test
