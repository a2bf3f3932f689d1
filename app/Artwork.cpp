#include "app/Artwork.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStringList>
#include <algorithm>
#include <iterator>
#include <map>
#include <string>

namespace tessaly::artwork {

namespace {

enum class Glyph {
    Home,
    Sweep,
    Shield,
    Globe,
    Box,
    Copies,
    Clock,
    Eraser,
    Link,
    Chip,
    Warning,
    Check,
    Logo,
    Folder,
    Minus,
    Note,
    Picture,
    Document,
    Archive,
    AppImage,
    OtherFile
};

struct Style {
    Glyph glyph;
    enum { Line, LineSelected, Badge, Label } kind;
    QColor badge;
    QString label = {}; // the text of a Label badge
};

const std::map<QString, Style>& styles() {
    static const std::map<QString, Style> table = [] {
        std::map<QString, Style> t;
        auto pair = [&t](const char* normal, const char* selected, Glyph g) {
            t[QString::fromUtf8(normal)] = {g, Style::Line, {}};
            t[QString::fromUtf8(selected)] = {g, Style::LineSelected, {}};
            // A large badge of the same drawing, for the tool's own screen.
            t[QString::fromUtf8(normal) + "-badge"] = {g, Style::Badge, QColor("#2f80ed")};
        };
        pair("home-normal", "home-click", Glyph::Home);
        pair("sys-cleanup-mormal", "sys-cleanup-click", Glyph::Sweep);
        pair("system-security-normal", "system-security-click", Glyph::Shield);
        pair("browsercleanup-normal", "browsercleanup-click", Glyph::Globe);
        pair("uninstall-normal", "uninstall-click", Glyph::Box);
        pair("duplicate-normal", "duplicate-click", Glyph::Copies);
        pair("large-old-normal", "large-old-click", Glyph::Clock);
        pair("eraser-normal", "eraser-click", Glyph::Eraser);
        pair("alias-normal", "alias-click", Glyph::Link);
        pair("memory-normal", "memory-click", Glyph::Chip);
        auto badge = [&t](const char* name, Glyph g, QColor c) {
            t[QString::fromUtf8(name)] = {g, Style::Badge, c};
        };
        badge("home－sys－icon", Glyph::Sweep, QColor("#2f80ed"));
        badge("home－web－icon", Glyph::Globe, QColor("#00a88f"));
        badge("home－uninstall-icon", Glyph::Box, QColor("#eb5757"));
        badge("home－duplicate－icon", Glyph::Copies, QColor("#9b51e0"));
        badge("home－old－icon", Glyph::Clock, QColor("#f2994a"));
        badge("home－alias－icon", Glyph::Link, QColor("#2d9cdb"));
        badge("home－mem－icon", Glyph::Chip, QColor("#27ae60"));
        badge("iconWarning", Glyph::Warning, QColor("#f2c94c"));
        badge("done-mark", Glyph::Check, QColor("#27ae60"));
        badge("tessaly", Glyph::Logo, QColor("#2f80ed"));
        badge("folder-icon", Glyph::Folder, QColor("#2d9cdb"));
        badge("remove-row", Glyph::Minus, QColor("#eb5757"));
        // File categories, with their large variants for reports.
        auto category = [&badge](const char* name, const char* large, Glyph g, QColor c) {
            badge(name, g, c);
            badge(large, g, c);
        };
        category("media-icon", "media-icon140", Glyph::Note, QColor("#eb5757"));
        category("pictures-icon", "pictures-icon(140)", Glyph::Picture, QColor("#f2994a"));
        category("document-icon", "document-icon140", Glyph::Document, QColor("#2f80ed"));
        category("archier-icon", "archive-icon140", Glyph::Archive, QColor("#8d6e63"));
        category("app-image-icon", "app-image-icon(140)", Glyph::AppImage, QColor("#9b51e0"));
        category("other-files-icon", "other-files-icon(140)", Glyph::OtherFile, QColor("#7f8c9d"));
        badge("chek", Glyph::Check, QColor("#27ae60"));
        // Old Files Finder: the age classes, later ones warmer.
        category("1month-icon", "1month-icon(140)", Glyph::Clock, QColor("#2d9cdb"));
        category("3month-icon", "3month-icon(140)", Glyph::Clock, QColor("#00a88f"));
        category("12year-icon", "12year-icon(140)", Glyph::Clock, QColor("#f2c94c"));
        category("1year-cion", "1-year-icon(140)", Glyph::Clock, QColor("#f2994a"));
        category("2year-icon", "2year-icon(140)", Glyph::Clock, QColor("#eb5757"));
        // Alias Finder: working and broken aliases.
        category("alias-icon", "alias-icon-(140)", Glyph::Link, QColor("#2d9cdb"));
        category("broken-alias-icon", "broken-alias-icon(140)", Glyph::Link, QColor("#eb5757"));
        // System Security: the scan types.
        badge("system-scan－icon", Glyph::Shield, QColor("#2f80ed"));
        badge("home－scan－icon", Glyph::Home, QColor("#00a88f"));
        badge("custom－scan－icon", Glyph::Folder, QColor("#9b51e0"));
        // System Cleanup modules: list icon, settings icon ("-set") and large icon ("(140)").
        auto module = [&badge](const char* name, Glyph g, QColor c) {
            badge(name, g, c);
            badge((std::string(name) + "-set").c_str(), g, c);
            badge((std::string(name) + "(140)").c_str(), g, c);
        };
        module("ios-software-update-icon", Glyph::Archive, QColor("#2d9cdb"));
        module("iosphoto-cache-icon", Glyph::Picture, QColor("#f2994a"));
        module("broken-login-icon", Glyph::Warning, QColor("#eb5757"));
        module("system-log-icon", Glyph::Document, QColor("#7f8c9d"));
        module("system-cache-icon", Glyph::Folder, QColor("#2f80ed"));
        module("user-cache-icon", Glyph::Folder, QColor("#00a88f"));
        module("user-log-icon", Glyph::Document, QColor("#9b51e0"));
        module("iphoto-icon", Glyph::Picture, QColor("#27ae60"));
        module("trash-icon", Glyph::Eraser, QColor("#8d6e63"));
        module("mail-icon", Glyph::Document, QColor("#2d9cdb"));
        module("binary-icon", Glyph::Chip, QColor("#f2994a"));
        module("broken-preference-icon", Glyph::OtherFile, QColor("#eb5757"));
        module("language1-icon", Glyph::Globe, QColor("#00a88f"));
        module("recent-documents-icon", Glyph::Clock, QColor("#2d9cdb"));
        module("shell-history-icon", Glyph::Note, QColor("#7f8c9d"));
        badge("language-icon(140)", Glyph::Globe, QColor("#00a88f"));
        // Browser Cleanup modules, and the site icon of a page whose own icon is unknown.
        category("cookie-icon", "cookies-icon(140)", Glyph::Document, QColor("#f2994a"));
        category("Risky-icon", "Risky-icon(140)", Glyph::Warning, QColor("#eb5757"));
        category("history-icon", "history-icon(140)", Glyph::Clock, QColor("#2f80ed"));
        category("topsite-icon", "topsite-icon140", Glyph::Home, QColor("#9b51e0"));
        category("cache-icon", "cache-icon(140)", Glyph::Folder, QColor("#00a88f"));
        category("session-icon", "session-icon(140)", Glyph::Link, QColor("#2d9cdb"));
        badge("language-icon", Glyph::Globe, QColor("#7f8c9d"));
        // Processor architectures of the Binary module's items.
        t["64-icon"] = {Glyph::Chip, Style::Label, QColor("#f2994a"), "64"};
        t["32-icon"] = {Glyph::Chip, Style::Label, QColor("#7f8c9d"), "32"};
        return t;
    }();
    return table;
}

// Draws a glyph into the 24 x 24 unit square.
void drawGlyph(QPainter& p, Glyph g) {
    QPainterPath path;
    switch (g) {
    case Glyph::Home:
        path.moveTo(4, 11);
        path.lineTo(12, 4);
        path.lineTo(20, 11);
        path.moveTo(6, 10);
        path.lineTo(6, 20);
        path.lineTo(18, 20);
        path.lineTo(18, 10);
        path.addRect(10, 14, 4, 6);
        break;
    case Glyph::Sweep:
        path.moveTo(15, 3);
        path.lineTo(11, 12);
        path.moveTo(6, 13);
        path.lineTo(16, 13);
        path.lineTo(18, 21);
        path.lineTo(4, 21);
        path.closeSubpath();
        path.moveTo(8, 17);
        path.lineTo(8, 21);
        path.moveTo(12, 17);
        path.lineTo(12, 21);
        path.moveTo(19, 4);
        path.lineTo(19, 8);
        path.moveTo(17, 6);
        path.lineTo(21, 6);
        break;
    case Glyph::Shield:
        path.moveTo(12, 3);
        path.lineTo(19, 6);
        path.cubicTo(19, 14, 16, 18, 12, 21);
        path.cubicTo(8, 18, 5, 14, 5, 6);
        path.closeSubpath();
        path.moveTo(9, 12);
        path.lineTo(11.5, 14.5);
        path.lineTo(15.5, 9.5);
        break;
    case Glyph::Globe:
        path.addEllipse(QPointF(12, 12), 8.5, 8.5);
        path.addEllipse(QPointF(12, 12), 3.8, 8.5);
        path.moveTo(3.5, 12);
        path.lineTo(20.5, 12);
        break;
    case Glyph::Box:
        path.moveTo(5, 7);
        path.lineTo(19, 7);
        path.moveTo(10, 7);
        path.lineTo(10, 4.5);
        path.lineTo(14, 4.5);
        path.lineTo(14, 7);
        path.moveTo(6.5, 7);
        path.lineTo(7.5, 20);
        path.lineTo(16.5, 20);
        path.lineTo(17.5, 7);
        path.moveTo(10.5, 10.5);
        path.lineTo(10.5, 16.5);
        path.moveTo(13.5, 10.5);
        path.lineTo(13.5, 16.5);
        break;
    case Glyph::Copies:
        path.addRoundedRect(4, 7, 10, 13, 1.5, 1.5);
        path.moveTo(9, 7);
        path.lineTo(9, 4);
        path.lineTo(19, 4);
        path.lineTo(19, 16);
        path.lineTo(14, 16);
        path.moveTo(7, 11);
        path.lineTo(11, 11);
        path.moveTo(7, 14);
        path.lineTo(11, 14);
        break;
    case Glyph::Clock:
        path.addEllipse(QPointF(12, 12), 8.5, 8.5);
        path.moveTo(12, 7);
        path.lineTo(12, 12);
        path.lineTo(15.5, 14);
        break;
    case Glyph::Eraser:
        path.moveTo(4, 15);
        path.lineTo(13, 6);
        path.lineTo(19, 12);
        path.lineTo(12, 19);
        path.lineTo(8, 19);
        path.closeSubpath();
        path.moveTo(8.5, 10.5);
        path.lineTo(14.5, 16.5);
        path.moveTo(12, 19);
        path.lineTo(20, 19);
        break;
    case Glyph::Link:
        path.addRoundedRect(3.5, 9, 9, 6, 3, 3);
        path.addRoundedRect(11.5, 9, 9, 6, 3, 3);
        break;
    case Glyph::Chip:
        path.addRoundedRect(7, 7, 10, 10, 1.5, 1.5);
        for (int i = 0; i < 3; ++i) {
            double x = 9.5 + i * 2.5;
            path.moveTo(x, 3.5);
            path.lineTo(x, 7);
            path.moveTo(x, 17);
            path.lineTo(x, 20.5);
            path.moveTo(3.5, x);
            path.lineTo(7, x);
            path.moveTo(17, x);
            path.lineTo(20.5, x);
        }
        break;
    case Glyph::Warning:
        path.moveTo(12, 5);
        path.lineTo(12, 14);
        path.moveTo(12, 17.5);
        path.lineTo(12, 18.5);
        break;
    case Glyph::Check:
        path.moveTo(7, 12.5);
        path.lineTo(10.5, 16);
        path.lineTo(17, 8.5);
        break;
    case Glyph::Folder:
        path.moveTo(3.5, 7);
        path.lineTo(9.5, 7);
        path.lineTo(11.5, 9);
        path.lineTo(20.5, 9);
        path.lineTo(20.5, 19);
        path.lineTo(3.5, 19);
        path.closeSubpath();
        break;
    case Glyph::Minus:
        path.moveTo(7, 12);
        path.lineTo(17, 12);
        break;
    case Glyph::Note:
        path.moveTo(9, 17);
        path.lineTo(9, 6);
        path.lineTo(18, 4);
        path.lineTo(18, 15);
        path.addEllipse(QPointF(7, 17), 2, 2);
        path.addEllipse(QPointF(16, 15), 2, 2);
        break;
    case Glyph::Picture:
        path.addRoundedRect(3.5, 5, 17, 14, 1.5, 1.5);
        path.moveTo(3.5, 16);
        path.lineTo(9, 11);
        path.lineTo(13, 15);
        path.lineTo(16, 12.5);
        path.lineTo(20.5, 16.5);
        path.addEllipse(QPointF(15.5, 8.5), 1.4, 1.4);
        break;
    case Glyph::Document:
        path.moveTo(6, 3.5);
        path.lineTo(14, 3.5);
        path.lineTo(18.5, 8);
        path.lineTo(18.5, 20.5);
        path.lineTo(6, 20.5);
        path.closeSubpath();
        path.moveTo(14, 3.5);
        path.lineTo(14, 8);
        path.lineTo(18.5, 8);
        path.moveTo(9, 12);
        path.lineTo(15.5, 12);
        path.moveTo(9, 15);
        path.lineTo(15.5, 15);
        break;
    case Glyph::Archive:
        path.addRoundedRect(4, 4, 16, 5, 1, 1);
        path.moveTo(5.5, 9);
        path.lineTo(5.5, 20);
        path.lineTo(18.5, 20);
        path.lineTo(18.5, 9);
        path.moveTo(10, 12.5);
        path.lineTo(14, 12.5);
        break;
    case Glyph::AppImage:
        path.addRoundedRect(4, 4, 16, 16, 4, 4);
        path.moveTo(8, 16);
        path.lineTo(12, 7);
        path.lineTo(16, 16);
        path.moveTo(9.5, 13);
        path.lineTo(14.5, 13);
        break;
    case Glyph::OtherFile:
        path.moveTo(6, 3.5);
        path.lineTo(14, 3.5);
        path.lineTo(18.5, 8);
        path.lineTo(18.5, 20.5);
        path.lineTo(6, 20.5);
        path.closeSubpath();
        path.addEllipse(QPointF(9.5, 14), 0.8, 0.8);
        path.addEllipse(QPointF(12.25, 14), 0.8, 0.8);
        path.addEllipse(QPointF(15, 14), 0.8, 0.8);
        break;
    case Glyph::Logo:
        path.moveTo(6, 15);
        path.cubicTo(9, 8, 15, 8, 18, 15);
        path.moveTo(12, 5);
        path.lineTo(12, 9);
        path.addEllipse(QPointF(12, 16), 2.2, 2.2);
        break;
    }
    p.drawPath(path);
}

// A transparent square of size points at the screen's pixel ratio.
QPixmap blankPixmap(int size) {
    qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pm(QSize(size, size) * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    return pm;
}

// A rounded badge with a short text, for drawings that are words.
QPixmap labelPixmap(const QString& label, const QColor& colour, int size) {
    QPixmap pm = blankPixmap(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0), size / 4.0, size / 4.0);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(std::max(6, static_cast<int>(size * (label.size() > 2 ? 0.34 : 0.44))));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, label);
    return pm;
}

// Two letters for a name: the initials of its first two words, or the first two
// letters of a single word ("United States" gives "US", "France" gives "FR").
QString initials(const QString& name) {
    const QStringList words = name.split(' ', Qt::SkipEmptyParts);
    QString out;
    if (words.size() >= 2)
        out = QString(words[0][0]) + words[1][0];
    else if (!words.isEmpty())
        out = words[0].left(2);
    return out.toUpper();
}

} // namespace

QPixmap nameBadge(const QString& name, int size) {
    static const QColor palette[] = {QColor("#2f80ed"), QColor("#00a88f"), QColor("#eb5757"),
                                     QColor("#9b51e0"), QColor("#f2994a"), QColor("#2d9cdb"),
                                     QColor("#27ae60"), QColor("#8d6e63")};
    const auto slot = static_cast<std::size_t>(qHash(name) % std::size(palette));
    return labelPixmap(initials(name), palette[slot], size);
}

QIcon nameIcon(const QString& name) {
    QIcon result;
    for (int size : {16, 24, 32, 48, 64})
        result.addPixmap(nameBadge(name, size));
    return result;
}

bool known(const QString& name) {
    return styles().count(name) != 0;
}

QPixmap pixmap(const QString& name, int size) {
    QPixmap pm = blankPixmap(size);
    auto it = styles().find(name);
    if (it == styles().end())
        return pm;
    const Style& st = it->second;
    if (st.kind == Style::Label)
        return labelPixmap(st.label, st.badge, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    QColor line;
    if (st.kind == Style::Badge) {
        p.setPen(Qt::NoPen);
        p.setBrush(st.badge);
        if (st.glyph == Glyph::Warning || st.glyph == Glyph::Check || st.glyph == Glyph::Logo)
            p.drawEllipse(QRectF(1, 1, 22, 22));
        else
            p.drawRoundedRect(QRectF(0.5, 0.5, 23, 23), 6, 6);
        line = st.glyph == Glyph::Warning ? QColor("#5a4500") : QColor(Qt::white);
        // The glyph sits a little smaller inside its badge.
        p.translate(12, 12);
        p.scale(0.72, 0.72);
        p.translate(-12, -12);
    } else {
        line = st.kind == Style::LineSelected ? QColor(Qt::white) : QColor("#a9b4c6");
    }
    QPen pen(line, st.glyph == Glyph::Warning ? 2.6 : 1.7, Qt::SolidLine, Qt::RoundCap,
             Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    drawGlyph(p, st.glyph);
    return pm;
}

QIcon icon(const QString& name) {
    QIcon result;
    for (int size : {16, 24, 32, 48, 64, 128})
        result.addPixmap(pixmap(name, size));
    return result;
}

} // namespace tessaly::artwork
