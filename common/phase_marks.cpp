#include "common/phase_marks.h"

#include "common/text.h"
#include "common/unique_handle.h"

namespace vandrel {

namespace {

// Made on the first mark and kept for the process's life: a reader may look at it until the end.
struct Section {
    UniqueHandle mapping;
    UniqueView view;
};

PhaseTicks* Marks() {
    static Section section = [] {
        Section made;
        made.mapping.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(PhaseTicks),
                                                PhaseSectionName(::GetCurrentProcessId()).c_str()));
        // A section of that name made before by another program (the name is easy to guess) is not
        // written into: the marks go nowhere then.
        if (made.mapping && ::GetLastError() == ERROR_ALREADY_EXISTS) made.mapping.reset();
        if (made.mapping) made.view.reset(::MapViewOfFile(made.mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(PhaseTicks)));
        return made;
    }();
    return static_cast<PhaseTicks*>(section.view.get());
}

}  // namespace

std::wstring PhaseSectionName(DWORD processId) { return Format(L"Local\\Vandrel.Phases.%lu", processId); }

void MarkPhase(Phase phase) {
    if (phase >= kPhaseCount) return;
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    if (PhaseTicks* marks = Marks()) marks->ticks[phase] = now.QuadPart;
}

}  // namespace vandrel
