#include "app/LaunchOptions.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tessaly {

LaunchOptions parseLaunchOptions(const QStringList& arguments, const QString& workingDir) {
    LaunchOptions options;
    QStringList* list = nullptr;
    QDir cwd(workingDir);
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == "--eraser") {
            list = &options.eraser;
        } else if (arg == "--old-files") {
            list = &options.oldFiles;
        } else if (arg == "--duplicates") {
            list = &options.duplicates;
        } else if (arg == "--screenshot-dir") {
            list = nullptr;
            if (i + 1 >= arguments.size()) {
                options.error = "--screenshot-dir needs a folder";
                return options;
            }
            options.screenshotDir = cwd.absoluteFilePath(arguments[++i]);
        } else if (arg.startsWith("--")) {
            options.error = QString("unknown option %1").arg(arg);
            return options;
        } else if (list) {
            QString path = QDir::cleanPath(cwd.absoluteFilePath(arg));
            if (!list->contains(path))
                list->append(path);
        } else {
            options.error =
                QString("%1: give --eraser, --old-files or --duplicates first").arg(arg);
            return options;
        }
    }
    return options;
}

QByteArray encodeHandOver(const LaunchOptions& o) {
    QJsonObject obj;
    obj["eraser"] = QJsonArray::fromStringList(o.eraser);
    obj["oldFiles"] = QJsonArray::fromStringList(o.oldFiles);
    obj["duplicates"] = QJsonArray::fromStringList(o.duplicates);
    return QJsonDocument(obj).toJson(QJsonDocument::Compact);
}

std::optional<LaunchOptions> decodeHandOver(const QByteArray& message) {
    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    auto strings = [&](const char* key) {
        QStringList list;
        for (const auto& v : doc.object().value(key).toArray())
            if (v.isString())
                list << v.toString();
        return list;
    };
    LaunchOptions o;
    o.eraser = strings("eraser");
    o.oldFiles = strings("oldFiles");
    o.duplicates = strings("duplicates");
    return o;
}

QString launchUsage() {
    return "Usage: tessaly [--eraser PATH...] [--old-files DIR...] [--duplicates DIR...]\n"
           "               [--screenshot-dir DIR]\n"
           "Hands the paths to the Eraser, Old Files Finder or Duplicates Finder of the\n"
           "running Tessaly (started when none runs).\n";
}

} // namespace tessaly
