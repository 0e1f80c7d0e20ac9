#include "dialogs/opml_export_command.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "feeds/feed_store.h"
#include "feeds/opml_document.h"
#include "feeds/services_config.h"

namespace {

constexpr char kFilter[] = "OPML文件 (*.opml)";
constexpr char kErrorCaption[] = "导出错误";
constexpr char kErrorText[] = "对不起， 您的OPML当前无法导出：\n%1";
constexpr char kReplaceText[] = "%1 已存在。\n要替换它吗？";

// The dialog's own prompt covers the name it returns; a name with another extension gets
// ".opml" only afterwards, so a file of that longer name is asked about here.
bool MayWrite(QWidget* parent, const QString& chosen, const QString& path) {
    if (path == chosen || !QFileInfo::exists(path)) {
        return true;
    }
    return QMessageBox::question(parent, QString::fromUtf8("导出OPML"),
                                 QString::fromUtf8(kReplaceText).arg(path)) == QMessageBox::Yes;
}

}  // namespace

void RunExportOpmlCommand(CFeedStore& store, QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromUtf8(kFilter));
    // A name without any extension gets ".opml" from the dialog, so that its overwrite
    // prompt asks about the file that will really be written.
    dialog.setDefaultSuffix(QStringLiteral("opml"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString chosen = dialog.selectedFiles().front();
    const QString path = QString::fromStdString(WithOpmlExtension(chosen.toStdString()));
    if (!MayWrite(parent, chosen, path)) {
        return;
    }
    if (!COpmlDocument().ExportSubscriptions(store, path.toStdString(), kOpmlOwnerName,
                                             Services().Base("site.publisher"))) {
        QMessageBox::warning(parent, QString::fromUtf8(kErrorCaption),
                             QString::fromUtf8(kErrorText).arg(path));
    }
}
