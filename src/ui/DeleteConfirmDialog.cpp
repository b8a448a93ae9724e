#include "ui/DeleteConfirmDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "common/TextUtils.h"
#include "common/TranslatePlural.h"
#include "model/Paths.h"
#include "shell/SysImageList.h"

TDeleteConfirmDialog::TAnswer TDeleteConfirmDialog::TestAnswer = nullptr;

namespace {

QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

// Names are bytes; show what a file manager would (invalid UTF-8 as replacement marks).
QString PathText(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString Format(const std::string &pattern, const QString &value)
{
    QString text = Q(pattern);
    const auto pos = text.indexOf(QStringLiteral("%s"));
    if (pos >= 0)
        text.replace(pos, 2, value);
    return text;
}

} // namespace

TDeleteConfirmDialog::TDeleteConfirmDialog(
    const std::vector<TItem> &items, bool permanent, TFileSizeStrProc sizeText, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(Q(permanent ? _("Delete Permanently") : _("Move to Trash")));
    setObjectName(QStringLiteral("DeleteConfirmDialog"));
    std::int64_t total = 0;
    for (const TItem &item : items)
        total += item.Size;
    const QString size = Q(sizeText ? sizeText(total) : std::to_string(total));
    if (items.size() == 1) {
        const QString name
            = QStringLiteral("\"%1\" (%2)").arg(PathText(std::string(LastPathComponent(items[0].Path))), size);
        if (permanent)
            FQuestion = Format(items[0].Directory
                    ? _("Do you really want to delete the folder %s and everything in it permanently?")
                    : _("Do you really want to delete the file %s permanently?"),
                name);
        else
            FQuestion = Format(items[0].Directory
                    ? _("Do you really want to move the folder %s and everything in it to the trash?")
                    : _("Do you really want to move the file %s to the trash?"),
                name);
    } else {
        const QString what = QStringLiteral("%1 (%2)").arg(items.size()).arg(size);
        FQuestion = Format(permanent ? _n("Do you really want to delete this %s item permanently?",
                               "Do you really want to delete these %s items permanently?", items.size())
                                     : _n("Do you really want to move this %s item to the trash?",
                                         "Do you really want to move these %s items to the trash?", items.size()),
            what);
    }

    auto *icon = new QLabel(this);
    const QIcon themed = QIcon::fromTheme(permanent ? QStringLiteral("edit-delete") : QStringLiteral("user-trash"),
        style()->standardIcon(permanent ? QStyle::SP_MessageBoxWarning : QStyle::SP_TrashIcon));
    icon->setPixmap(themed.pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto *text = new QVBoxLayout;
    auto *question = new QLabel(FQuestion, this);
    question->setWordWrap(true);
    question->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->addWidget(question);
    if (items.size() > 1) {
        auto *list = new QListWidget(this);
        list->setObjectName(QStringLiteral("DeleteItems"));
        for (const TItem &item : items) {
            auto *row = new QListWidgetItem(PathText(item.Path) + QStringLiteral("  (")
                + Q(sizeText ? sizeText(item.Size) : "") + QLatin1Char(')'));
            row->setIcon(TSysImageList::Instance().Icon(
                item.Directory ? FolderIconIndex(false) : FileIconIndexOfName(LastPathComponent(item.Path))));
            list->addItem(row);
        }
        list->setMaximumHeight(160);
        text->addWidget(list);
    } else if (!items.empty()) {
        auto *where = new QLabel(PathText(items[0].Path), this);
        where->setWordWrap(true);
        where->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->addWidget(where);
    }
    const std::string undo = items.size() == 1 ? _("You can get it back from the trash, or with Ctrl+Z right away.")
                                               : _("You can get them back from the trash, or with Ctrl+Z right away.");
    auto *how = new QLabel(permanent ? Q(_("This cannot be undone.")) : Q(undo), this);
    how->setWordWrap(true);
    if (permanent) {
        QFont bold = how->font();
        bold.setBold(true);
        how->setFont(bold);
    }
    text->addWidget(how);

    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(text, 1);

    auto *buttons = new QDialogButtonBox(this);
    FAccept = buttons->addButton(Q(permanent ? _("&Delete") : _("&Move to Trash")), QDialogButtonBox::AcceptRole);
    FAccept->setIcon(themed);
    FCancel = buttons->addButton(QDialogButtonBox::Cancel);
    FCancel->setText(Q(_("Cancel")));
    // A slip of the Enter key must not delete for good.
    FCancel->setDefault(permanent);
    FAccept->setDefault(!permanent);
    (permanent ? FCancel : FAccept)->setFocus();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

bool TDeleteConfirmDialog::Ask(
    const std::vector<TItem> &items, bool permanent, TFileSizeStrProc sizeText, QWidget *parent)
{
    TDeleteConfirmDialog dialog(items, permanent, sizeText, parent);
    if (TestAnswer)
        return TestAnswer(dialog);
    return dialog.exec() == QDialog::Accepted;
}
