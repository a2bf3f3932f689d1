#include "model/FileTypes.h"

#include "platform/TextCase.h"

#include <initializer_list>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessaly::filetype {

namespace {

// The type tree: each type with its parents.
const std::unordered_map<std::string, std::vector<std::string>>& parents() {
    static const std::unordered_map<std::string, std::vector<std::string>> tree = {
        {"public.content", {}},
        {"public.data", {"public.item"}},
        {"public.item", {}},
        {"public.image", {"public.data", "public.content"}},
        {"public.audiovisual-content", {"public.data", "public.content"}},
        {"public.movie", {"public.audiovisual-content"}},
        {"public.audio", {"public.audiovisual-content"}},
        {"public.text", {"public.data", "public.content"}},
        {"public.plain-text", {"public.text"}},
        {"public.source-code", {"public.plain-text"}},
        {"public.composite-content", {"public.content"}},
        {"public.presentation", {"public.composite-content"}},
        {"public.spreadsheet", {"public.content"}},
        {"public.archive", {"public.data"}},
        {"public.disk-image", {"public.archive"}},
        // Leaves.
        {"public.jpeg", {"public.image"}},
        {"public.png", {"public.image"}},
        {"com.compuserve.gif", {"public.image"}},
        {"com.microsoft.bmp", {"public.image"}},
        {"public.tiff", {"public.image"}},
        {"public.heic", {"public.image"}},
        {"org.webmproject.webp", {"public.image"}},
        {"com.microsoft.ico", {"public.image"}},
        {"public.svg-image", {"public.image"}},
        {"com.adobe.photoshop-image", {"public.image"}},
        {"public.camera-raw-image", {"public.image"}},
        {"public.mpeg-4", {"public.movie"}},
        {"com.apple.quicktime-movie", {"public.movie"}},
        {"public.avi", {"public.movie"}},
        {"org.matroska.mkv", {"public.movie"}},
        {"org.webmproject.webm", {"public.movie"}},
        {"public.mpeg", {"public.movie"}},
        {"public.3gpp", {"public.movie"}},
        {"com.microsoft.windows-media-wmv", {"public.movie"}},
        {"public.mp3", {"public.audio"}},
        {"public.mpeg-4-audio", {"public.audio"}},
        {"public.aac-audio", {"public.audio"}},
        {"com.microsoft.waveform-audio", {"public.audio"}},
        {"public.aiff-audio", {"public.audio"}},
        {"org.xiph.flac", {"public.audio"}},
        {"org.xiph.ogg-audio", {"public.audio"}},
        {"com.microsoft.windows-media-wma", {"public.audio"}},
        {"com.adobe.pdf", {"public.composite-content", "public.data"}},
        {"public.rtf", {"public.text"}},
        {"public.html", {"public.text"}},
        {"public.xml", {"public.text"}},
        {"public.json", {"public.text"}},
        {"public.comma-separated-values-text", {"public.plain-text"}},
        {"net.daringfireball.markdown", {"public.plain-text"}},
        {"com.microsoft.word.doc", {"public.composite-content", "public.data"}},
        {"org.openxmlformats.wordprocessingml.document",
         {"public.composite-content", "public.data"}},
        {"org.oasis-open.opendocument.text", {"public.composite-content", "public.data"}},
        {"com.microsoft.excel.xls", {"public.spreadsheet", "public.data"}},
        {"org.openxmlformats.spreadsheetml.sheet", {"public.spreadsheet", "public.data"}},
        {"org.oasis-open.opendocument.spreadsheet", {"public.spreadsheet", "public.data"}},
        {"com.microsoft.powerpoint.ppt", {"public.presentation", "public.data"}},
        {"org.openxmlformats.presentationml.presentation", {"public.presentation", "public.data"}},
        {"org.oasis-open.opendocument.presentation", {"public.presentation", "public.data"}},
        {"org.idpf.epub-container", {"public.composite-content", "public.data"}},
        {"public.zip-archive", {"public.archive"}},
        {"org.gnu.gnu-zip-archive", {"public.archive"}},
        {"public.bzip2-archive", {"public.archive"}},
        {"org.tukaani.xz-archive", {"public.archive"}},
        {"org.7-zip.7-zip-archive", {"public.archive"}},
        {"com.rarlab.rar-archive", {"public.archive"}},
        {"public.tar-archive", {"public.archive"}},
        {"org.debian.deb-archive", {"public.archive"}},
        {"com.redhat.rpm-archive", {"public.archive"}},
        {"com.facebook.zstandard-archive", {"public.archive"}},
        {"com.apple.disk-image", {"public.disk-image"}},
        {"public.iso-image", {"public.disk-image"}},
        {"com.sun.java-archive", {"public.zip-archive"}},
    };
    return tree;
}

const std::unordered_map<std::string, std::string>& byExtension() {
    static const std::unordered_map<std::string, std::string> table = [] {
        std::unordered_map<std::string, std::string> t;
        auto add = [&t](const char* type, std::initializer_list<const char*> extensions) {
            for (const char* e : extensions)
                t[e] = type;
        };
        add("public.jpeg", {"jpg", "jpeg", "jpe", "jfif"});
        add("public.png", {"png"});
        add("com.compuserve.gif", {"gif"});
        add("com.microsoft.bmp", {"bmp"});
        add("public.tiff", {"tif", "tiff"});
        add("public.heic", {"heic", "heif"});
        add("org.webmproject.webp", {"webp"});
        add("com.microsoft.ico", {"ico", "icns"});
        add("public.svg-image", {"svg"});
        add("com.adobe.photoshop-image", {"psd"});
        add("public.camera-raw-image", {"raw", "cr2", "cr3", "nef", "arw", "dng", "orf", "rw2"});
        add("public.mpeg-4", {"mp4", "m4v"});
        add("com.apple.quicktime-movie", {"mov", "qt"});
        add("public.avi", {"avi"});
        add("org.matroska.mkv", {"mkv"});
        add("org.webmproject.webm", {"webm"});
        add("public.mpeg", {"mpg", "mpeg", "m2v", "vob", "ts", "mts", "m2ts"});
        add("public.3gpp", {"3gp", "3g2"});
        add("com.microsoft.windows-media-wmv", {"wmv", "asf"});
        add("public.mp3", {"mp3"});
        add("public.mpeg-4-audio", {"m4a", "m4b", "m4r"});
        add("public.aac-audio", {"aac"});
        add("com.microsoft.waveform-audio", {"wav", "wave"});
        add("public.aiff-audio", {"aif", "aiff", "aifc"});
        add("org.xiph.flac", {"flac"});
        add("org.xiph.ogg-audio", {"ogg", "oga", "opus"});
        add("com.microsoft.windows-media-wma", {"wma"});
        add("com.adobe.pdf", {"pdf"});
        add("public.plain-text", {"txt", "text", "log"});
        add("public.rtf", {"rtf"});
        add("public.html", {"html", "htm", "xhtml"});
        add("public.xml", {"xml"});
        add("public.json", {"json"});
        add("public.comma-separated-values-text", {"csv", "tsv"});
        add("net.daringfireball.markdown", {"md", "markdown"});
        add("public.source-code",
            {"c",  "h",  "cc",   "cpp", "hpp", "cxx", "m",  "mm", "swift", "py",
             "js", "ts", "java", "rb",  "go",  "rs",  "sh", "pl", "php",   "css"});
        add("com.microsoft.word.doc", {"doc"});
        add("org.openxmlformats.wordprocessingml.document", {"docx"});
        add("org.oasis-open.opendocument.text", {"odt"});
        add("com.microsoft.excel.xls", {"xls"});
        add("org.openxmlformats.spreadsheetml.sheet", {"xlsx"});
        add("org.oasis-open.opendocument.spreadsheet", {"ods"});
        add("com.microsoft.powerpoint.ppt", {"ppt"});
        add("org.openxmlformats.presentationml.presentation", {"pptx"});
        add("org.oasis-open.opendocument.presentation", {"odp"});
        add("org.idpf.epub-container", {"epub"});
        add("public.zip-archive", {"zip"});
        add("org.gnu.gnu-zip-archive", {"gz", "tgz"});
        add("public.bzip2-archive", {"bz2", "tbz", "tbz2"});
        add("org.tukaani.xz-archive", {"xz", "txz"});
        add("org.7-zip.7-zip-archive", {"7z"});
        add("com.rarlab.rar-archive", {"rar"});
        add("public.tar-archive", {"tar"});
        add("org.debian.deb-archive", {"deb"});
        add("com.redhat.rpm-archive", {"rpm"});
        add("com.facebook.zstandard-archive", {"zst"});
        add("com.apple.disk-image", {"dmg"});
        add("public.iso-image", {"iso"});
        add("com.sun.java-archive", {"jar"});
        return t;
    }();
    return table;
}

} // namespace

std::string typeOf(const std::string& path) {
    std::string_view name(path);
    if (auto slash = name.rfind('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
        return "public.data";
    const std::string ext = text::asciiLowercase(name.substr(dot + 1));
    auto it = byExtension().find(ext);
    return it == byExtension().end() ? "public.data" : it->second;
}

bool conformsTo(const std::string& type, const std::string& parent) {
    if (type == parent)
        return true;
    auto it = parents().find(type);
    if (it == parents().end())
        return false;
    for (const auto& p : it->second)
        if (conformsTo(p, parent))
            return true;
    return false;
}

} // namespace tessaly::filetype
