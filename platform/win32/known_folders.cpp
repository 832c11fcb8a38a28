#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/platform.h"

namespace platform {

namespace {

// No default: a new folder without its id is a compiler warning here.
const KNOWNFOLDERID& ToNative(FolderId folder) {
    switch (folder) {
        case FolderId::LocalAppData: return FOLDERID_LocalAppData;
        case FolderId::Desktop: return FOLDERID_Desktop;
        case FolderId::Programs: return FOLDERID_Programs;
    }
    return FOLDERID_LocalAppData;  // not reached for a valid FolderId
}

}  // namespace

KnownFolderLookup GetKnownFolderPath(FolderId folder, std::uint32_t flags) {
    PWSTR path = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(ToNative(folder), flags, nullptr, &path);
    return {result, path};
}

}  // namespace platform
