#include "ScanCode/duplicate/DuplicateKinds.h"

#include "model/FileTypes.h"

namespace tessaly::dupkind {

namespace {

struct Names {
    const char* name;
    const char* icon;
    const char* large;
};

constexpr Names kNames[kCount] = {
    {"Media", "media-icon", "media-icon140"},
    {"Picture", "pictures-icon", "pictures-icon(140)"},
    {"Document", "document-icon", "document-icon140"},
    {"Archive", "archier-icon", "archive-icon140"},
    {"Package", "app-image-icon", "app-image-icon(140)"},
    {"Other", "other-files-icon", "other-files-icon(140)"},
};

} // namespace

std::string moduleStr(std::int64_t kind) {
    return kind >= 0 && kind < kCount ? kNames[kind].name : "";
}

std::string imageWithModule(std::int64_t kind) {
    return kind >= 0 && kind < kCount ? kNames[kind].icon : "";
}

std::string image140WithModule(std::int64_t kind) {
    return kind >= 0 && kind < kCount ? kNames[kind].large : "";
}

std::string fileUTI(const std::string& path) {
    return filetype::typeOf(path);
}

bool conformsTo(const std::string& type, const std::string& parent) {
    return filetype::conformsTo(type, parent);
}

std::int32_t fileType(const std::string& type) {
    if (conformsTo(type, "public.image"))
        return Picture;
    if (conformsTo(type, "public.audiovisual-content"))
        return Media;
    if (conformsTo(type, "public.content"))
        return Document;
    if (conformsTo(type, "public.archive"))
        return Archive;
    return Other;
}

} // namespace tessaly::dupkind
