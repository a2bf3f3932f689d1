#include "app/common/ItemIcon.h"

#include "app/Artwork.h"
#include "model/ThumbnailReference.h"

#include <QByteArray>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPixmap>

namespace tessaly {

namespace {

QIcon fileIcon(const QString& path) {
    static QFileIconProvider provider;
    return provider.icon(QFileInfo(path));
}

// The image scaled down to fit points x points, keeping its proportions (a
// smaller image keeps its size); decoded at that size where the format allows,
// so that large photographs stay cheap.
QIcon thumbnail(const ThumbnailReference& ref) {
    const QString path = QString::fromStdString(ref.imagePath);
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize box(ref.points, ref.points);
    QSize size = reader.size();
    if (size.isValid() && (size.width() > ref.points || size.height() > ref.points))
        reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return fileIcon(path);
    if (image.width() > ref.points || image.height() > ref.points)
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return QIcon(QPixmap::fromImage(image));
}

// An image carried in the reference itself ("data:image/png;base64,..."), as the
// browsers' site icons are: decoded once per distinct reference (many pages share
// a site's icon); one that does not decode stands as the unknown site's icon.
QIcon dataIcon(const QString& reference) {
    static QHash<QString, QIcon> decoded;
    if (auto it = decoded.constFind(reference); it != decoded.constEnd())
        return *it;
    QImage image;
    const qsizetype comma = reference.indexOf(',');
    if (comma > 0 && reference.left(comma).endsWith(";base64"))
        image.loadFromData(QByteArray::fromBase64(reference.mid(comma + 1).toLatin1()));
    const QIcon icon = image.isNull() ? artwork::icon("language-icon")
                                      : QIcon(QPixmap::fromImage(std::move(image)));
    decoded.insert(reference, icon);
    return icon;
}

} // namespace

QIcon itemIcon(const QString& reference) {
    if (reference.isEmpty())
        return {};
    if (artwork::known(reference))
        return artwork::icon(reference);
    if (reference.startsWith("data:"))
        return dataIcon(reference);
    if (auto ref = parseThumbnailReference(reference.toStdString()))
        return thumbnail(*ref);
    // A word rather than a path names a picture we do not ship (a language
    // group's country): its initials stand in for it.
    if (!reference.startsWith('/'))
        return artwork::nameIcon(reference);
    return fileIcon(reference);
}

} // namespace tessaly
