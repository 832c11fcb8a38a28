#include "core/setup_lock.h"

#include "core/product.h"

namespace lumiran {
namespace {

constexpr std::uint32_t kWaitObject0 = 0x0;     // WAIT_OBJECT_0
constexpr std::uint32_t kWaitAbandoned = 0x80;  // WAIT_ABANDONED
constexpr std::uint32_t kWaitTimeout = 0x102;   // WAIT_TIMEOUT

struct MutexCloser {
    void operator()(platform::MutexHandle mutex) const { platform::CloseMutex(mutex); }
};
using UniqueMutex = std::unique_ptr<platform::MutexObject, MutexCloser>;

}  // namespace

SetupLock TakeSetupLock() {
    UniqueMutex mutex(platform::CreateNamedMutex(kSetupMutexName));
    if (mutex == nullptr) return {};
    switch (platform::TryTakeMutex(mutex.get())) {
        case kWaitObject0:
        // Its last owner ended without letting go (killed, or crashed): the
        // mutex is this run's now, and so is the chance to finish the job.
        case kWaitAbandoned:
            return {TakenMutex(mutex.release()), false};
        case kWaitTimeout:
            return {nullptr, true};
        default:  // WAIT_FAILED: unguarded, as without the mutex
            return {};
    }
}

}  // namespace lumiran
