#include "ScanCode/uninstall/BundleReader.h"

#include "model/CommonFunction.h"
#include "model/FolderWalk.h"
#include "platform/FileAttributes.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

namespace tessaly {

namespace {

std::string stringValue(const PlistValue& dict, const char* key) {
    const PlistValue* v = dict.find(key);
    return v && v->isString() ? *v->string() : std::string();
}

} // namespace

BundleInfo readBundleInfo(const std::string& bundlePath) {
    BundleInfo info;
    auto plistValue = plist::readFile(paths::join(bundlePath, "Contents/Info.plist"));
    if (!plistValue)
        plistValue = plist::readFile(paths::join(bundlePath, "Info.plist"));
    if (!plistValue || !plistValue->isDict())
        return info;
    info.identifier = stringValue(*plistValue, "CFBundleIdentifier");
    info.executable = stringValue(*plistValue, "CFBundleExecutable");
    info.shortVersion = stringValue(*plistValue, "CFBundleShortVersionString");
    info.iconFile = stringValue(*plistValue, "CFBundleIconFile");
    return info;
}

bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::optional<std::string> mainExecutablePath(const std::string& bundlePath,
                                              const BundleInfo& info) {
    if (!isPlainFileName(info.executable))
        return std::nullopt;
    return paths::join(bundlePath, "Contents/MacOS/" + info.executable);
}

std::string bundleIcon(const std::string& bundlePath, const BundleInfo& info) {
    // Only a plain file name is taken: an icon entry never leads out of the bundle.
    if (isPlainFileName(info.iconFile)) {
        std::string icon = paths::join(bundlePath, "Contents/Resources/" + info.iconFile);
        if (paths::extension(icon).empty())
            icon += ".icns";
        auto attrs = fileattr::entryInfo(icon);
        if (attrs.exists && attrs.isRegular)
            return icon;
    }
    return CommonFunction::imageForPath(bundlePath);
}

AppItemRef appItemFromBundle(const std::string& bundlePath, const std::string& name) {
    BundleInfo info = readBundleInfo(bundlePath);
    bool system = info.identifier.rfind("com.apple.", 0) == 0;
    auto item =
        std::make_shared<AppItem>(name, bundleIcon(bundlePath, info), bundlePath, info.shortVersion,
                                  info.identifier, system ? "YES" : "NO", 0, info.executable);
    item->isSystemApp = system;
    item->company = AppItem::companyFromIdentifier(info.identifier);
    item->size = directorySize(bundlePath);
    item->lastOpenDate = CommonFunction::lastOpenDate(bundlePath);
    return item;
}

} // namespace tessaly
