// The password every firmware package is packed with. The one place it is written down: the extraction
// and the listing use it, and so do the scripts and tests that pack packages (scripts/env.sh reads it
// from this line).
#pragma once

namespace vandrel {

constexpr wchar_t kPackagePassword[] = L"tamsin_harbor_unpacking";

}  // namespace vandrel
