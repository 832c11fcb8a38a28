#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/platform.h"

namespace platform {

KnownFolderLookup GetKnownFolderPath(FolderId folder, std::uint32_t flags) {
    const KNOWNFOLDERID* id = &FOLDERID_LocalAppData;
    if (folder == FolderId::Desktop) id = &FOLDERID_Desktop;
    if (folder == FolderId::Programs) id = &FOLDERID_Programs;
    PWSTR path = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(*id, flags, nullptr, &path);
    return {result, path};
}

}  // namespace platform
