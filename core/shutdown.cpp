#include "core/shutdown.h"

#include "core/product.h"
#include "platform/platform.h"

namespace lumiran {
namespace {
constexpr std::uint32_t kWmClose = 0x0010;
}

void CloseRunningInstance() {
    const platform::WindowHandle window = platform::FindTopLevelWindow(kMainWindowClass);
    if (window == nullptr) return;
    // A failed post is followed by the same bounded wait.
    (void)platform::PostWindowMessage(window, kWmClose, 0, 0);
    for (int round = 0; round < kCloseWaitRounds; ++round) {
        platform::SleepMilliseconds(kCloseWaitStepMs);
        if (!platform::WindowExists(window)) return;
    }
}

}  // namespace lumiran
