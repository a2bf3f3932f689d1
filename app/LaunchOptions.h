#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace tessaly {

// The application's command line:
//   tessaly [--eraser PATH...] [--old-files DIR...] [--duplicates DIR...]
//           [--screenshot-dir DIR]
// The paths after a hand-over option run up to the next option; relative paths
// are made absolute, since a running instance has another working folder.
struct LaunchOptions {
    QStringList eraser;
    QStringList oldFiles;
    QStringList duplicates;
    QString screenshotDir;
    QString error; // set when the command line is wrong

    bool hasHandOver() const {
        return !eraser.isEmpty() || !oldFiles.isEmpty() || !duplicates.isEmpty();
    }
};

// Parses the arguments after the program name.
LaunchOptions parseLaunchOptions(const QStringList& arguments, const QString& workingDir);

// The hand-over part as one message for a running instance, and back.
QByteArray encodeHandOver(const LaunchOptions& options);
std::optional<LaunchOptions> decodeHandOver(const QByteArray& message);

// The usage text.
QString launchUsage();

} // namespace tessaly
