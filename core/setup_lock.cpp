#include "core/setup_lock.h"

#include "core/product.h"

namespace lumiran {
namespace {

constexpr std::uint32_t kWaitObject0 = 0x0;     // WAIT_OBJECT_0
constexpr std::uint32_t kWaitAbandoned = 0x80;  // WAIT_ABANDONED
constexpr std::uint32_t kWaitTimeout = 0x102;   // WAIT_TIMEOUT
constexpr std::uint32_t kAccessDenied = 5;      // ERROR_ACCESS_DENIED

struct MutexCloser {
    void operator()(platform::MutexHandle mutex) const { platform::CloseMutex(mutex); }
};
using UniqueMutex = std::unique_ptr<platform::MutexObject, MutexCloser>;

}  // namespace

SetupLock TakeSetupLock() {
    const platform::CreatedMutex created = platform::CreateNamedMutex(kSetupMutexName);
    // A mutex lives only while some run keeps it open, and one this run may
    // not open is held by a run with rights this one lacks: an elevated run
    // of the same user, whose default DACL and high label keep us out.
    if (created.mutex == nullptr) return {nullptr, created.error == kAccessDenied};
    UniqueMutex mutex(created.mutex);
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
