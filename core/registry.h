// The per-user uninstall registration and the autostart value.
#pragma once

#include <cstdint>
#include <string>

#include "core/layout.h"

namespace lumiran {

inline constexpr std::uint32_t kRegSz = 1;               // REG_SZ
inline constexpr std::uint32_t kRegDword = 4;            // REG_DWORD
inline constexpr std::uint32_t kKeySetValue = 0x0002;    // KEY_SET_VALUE
inline constexpr std::uint32_t kNonVolatile = 0;         // REG_OPTION_NON_VOLATILE
inline constexpr std::uint32_t kEstimatedSizeKb = 1024;  // what the list of programs shows

// One open-set-close of the registration key per value; failures are silent.
void WriteRegistryString(const std::wstring& name, const std::wstring& value);
void WriteRegistryDword(const std::wstring& name, std::uint32_t value);
void WriteUninstallEntry(const InstallLayout& layout);

// Writes "Lumiran" = "\"exePath\"" under the Run key, or deletes it.
void SetAutostart(const std::wstring& exePath, bool enable);

}  // namespace lumiran
