// Asks a running suite to close before its executable is replaced or removed.
#pragma once

#include <cstdint>

namespace lumiran {

inline constexpr int kCloseWaitRounds = 20;
inline constexpr std::uint32_t kCloseWaitStepMs = 100;

// Posts WM_CLOSE to the suite's main window and waits at most
// kCloseWaitRounds x kCloseWaitStepMs for the window to go and the process
// that owned it to end. Never reports.
void CloseRunningInstance();

}  // namespace lumiran
