#include "app/common/ItemInfoDialog.h"

#include "model/CommonFunction.h"
#include "model/FolderWalk.h"
#include "platform/FileKinds.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <sys/stat.h>

namespace tessaly {

ItemFacts itemFacts(const QString& path) {
    ItemFacts facts;
    const QFileInfo info(path);
    const std::string p = path.toStdString();
    facts.name = info.fileName();
    facts.location = info.absolutePath();
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) {
        facts.kind = "Missing";
        return facts;
    }
    if (S_ISLNK(st.st_mode))
        facts.kind = "Link";
    else if (S_ISDIR(st.st_mode))
        facts.kind = fileattr::isPackageName(info.fileName().toStdString()) ? "Package" : "Folder";
    else
        facts.kind = "File";
    // A file's own length, as a file manager shows it; a folder's space on the disk.
    const std::int64_t size =
        S_ISDIR(st.st_mode) ? itemSize(p) : static_cast<std::int64_t>(st.st_size);
    facts.size = QString::fromStdString(CommonFunction::getSizeString(size));
    facts.modified = QString::fromStdString(
        CommonFunction::dateStr(dateFromUnixSeconds(static_cast<double>(st.st_mtim.tv_sec))));
    if (auto opened = CommonFunction::lastOpenDate(p))
        facts.lastOpened = QString::fromStdString(CommonFunction::dateStr(*opened));
    return facts;
}

ItemInfoDialog::ItemInfoDialog(const QString& path, QWidget* parent) : QDialog(parent) {
    const ItemFacts facts = itemFacts(path);
    setWindowTitle(facts.name + " Info");
    rows_ = {{"Name", facts.name},         {"Kind", facts.kind},
             {"Size", facts.size},         {"Where", facts.location},
             {"Modified", facts.modified}, {"Last opened", facts.lastOpened}};
    auto* form = new QFormLayout;
    for (const auto& [label, value] : rows_) {
        if (value.isEmpty())
            continue;
        auto* text = new QLabel(value, this);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setWordWrap(true);
        form->addRow(label + ":", text);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

} // namespace tessaly
