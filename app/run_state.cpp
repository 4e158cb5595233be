#include "app/run_state.h"

namespace vandrel {

StateRules RulesOf(RunState state) {
    switch (state) {
    case RunState::Idle: return {true, true, true, true, nullptr};
    // Firmware is being prepared or written: nothing may interrupt it, the session's end included.
    case RunState::Preparing: return {false, false, false, false, IDC_WAIT};
    case RunState::Writing: return {false, false, false, false, IDC_APPSTARTING};
    case RunState::Starting:
    case RunState::ReadingVersion:
    case RunState::Closing: return {false, false, false, true, IDC_WAIT};
    }
    return {false, false, false, true, IDC_WAIT};
}

}  // namespace vandrel
