// Arbitrary bytes as the contents of an alias file: the bookmark reader must
// never read past what it was given, and a path it returns is absolute and made
// of plain components. Bookmark data it writes reads back as the same path.
#include "platform/BookmarkData.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessaly::bookmark;
    std::vector<std::uint8_t> bytes(data, data + size);
    if (auto path = targetPath(bytes)) {
        if (path->empty() || (*path)[0] != '/' || path->find("//") != std::string::npos ||
            path->find('\0') != std::string::npos)
            std::abort();
        if (targetPath(makeBookmark(*path)) != path)
            std::abort();
    }
    return 0;
}
