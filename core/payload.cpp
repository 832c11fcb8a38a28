#include "core/payload.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/product.h"

namespace lumiran {

bool ExtractPayload(platform::ModuleHandle instance, const std::wstring& exePath) {
    const platform::ResourceBytes payload = platform::LoadDataResource(instance, IDR_PAYLOAD);
    if (payload.data == nullptr || payload.size == 0) return false;

    const std::filesystem::path file(exePath);
    std::error_code ignored;
    // A folder that could not be made shows itself when the open fails.
    (void)std::filesystem::create_directories(file.parent_path(), ignored);

    std::ofstream out(file, std::ios_base::binary | std::ios_base::trunc | std::ios_base::out);
    if (!out.is_open()) return false;
    out.write(static_cast<const char*>(payload.data), static_cast<std::streamsize>(payload.size));
    const bool written = out.good();
    // The last buffered bytes reach the disk only here: a failed close means
    // a truncated executable, not an installed one.
    out.close();
    return written && !out.fail();
}

}  // namespace lumiran
