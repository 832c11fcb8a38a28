#include "core/shutdown.h"

#include <memory>

#include "core/product.h"
#include "platform/platform.h"

namespace lumiran {
namespace {

constexpr std::uint32_t kWmClose = 0x0010;

struct ProcessCloser {
    void operator()(platform::ProcessHandle process) const { platform::CloseProcess(process); }
};
using UniqueProcess = std::unique_ptr<platform::ProcessObject, ProcessCloser>;

// Gone means the window has closed and, when its process could be opened,
// that process has ended too: an exiting process still holds Lumiran.exe.
bool SuiteGone(platform::WindowHandle window, const UniqueProcess& process) {
    if (platform::WindowExists(window)) return false;
    return process == nullptr || platform::ProcessEnded(process.get());
}

}  // namespace

void CloseRunningInstance() {
    const platform::WindowHandle window = platform::FindTopLevelWindow(kMainWindowClass);
    if (window == nullptr) return;
    // Learnt before the request, while the window surely still exists.
    const UniqueProcess process(platform::OpenWindowProcess(window));
    // A failed post is followed by the same bounded wait.
    (void)platform::PostWindowMessage(window, kWmClose, 0, 0);
    for (int round = 0; round < kCloseWaitRounds; ++round) {
        platform::SleepMilliseconds(kCloseWaitStepMs);
        if (SuiteGone(window, process)) return;
    }
}

}  // namespace lumiran
