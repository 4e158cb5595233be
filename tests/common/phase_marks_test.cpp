#include <gtest/gtest.h>

#include <cstring>

#include "common/phase_marks.h"
#include "common/unique_handle.h"

namespace vandrel {
namespace {

// The section's name is easy to guess: one made before by another program is never written into.
// (Each test runs in a process of its own, so this one's first mark is the process's first.)
TEST(PhaseMarks, ASectionMadeBeforeByAnotherProgramIsNotWrittenInto) {
    const UniqueHandle planted(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(PhaseTicks),
                                                    PhaseSectionName(::GetCurrentProcessId()).c_str()));
    ASSERT_TRUE(planted);
    const UniqueView view(::MapViewOfFile(planted.get(), FILE_MAP_WRITE, 0, 0, sizeof(PhaseTicks)));
    ASSERT_TRUE(view);
    std::memset(view.get(), 0xAB, sizeof(PhaseTicks));

    MarkPhase(kPhaseClick);

    const auto* bytes = static_cast<const unsigned char*>(view.get());
    for (size_t i = 0; i < sizeof(PhaseTicks); ++i) ASSERT_EQ(0xAB, bytes[i]) << "byte " << i << " was written";
}

}  // namespace
}  // namespace vandrel
