#include "dialogs/opml_export_command.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "feeds/feed_store.h"
#include "feeds/opml_document.h"
#include "feeds/services_config.h"
#include "views/tree_view.h"

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

// The tree as the window shows it, in display order.
OpmlExportTree ExportTreeOf(CTD_TreeView& view, const CSysData& settings) {
    OpmlExportTree tree;
    CNodeMap& nodes = view.Nodes();
    for (CNodeMap::Handle handle : nodes.Descendants(nodes.FindById(0))) {
        const CKeywordNode record = nodes.Lookup(handle);
        const int parentId = nodes.Lookup(nodes.Parent(handle)).id;
        tree.nodes.push_back(
            {record.id, parentId < 0 ? 0 : parentId, record.type, record.name, record.searchName});
    }
    tree.searchAddress = [&settings](std::string_view word) {
        return FollowableSearchAddress(settings, word);
    };
    return tree;
}

}  // namespace

QString RunExportOpmlCommand(CFeedStore& store, CTD_TreeView& view, QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromUtf8(kFilter));
    // A name without any extension gets ".opml" from the dialog, so that its overwrite
    // prompt asks about the file that will really be written.
    dialog.setDefaultSuffix(QStringLiteral("opml"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    const QString chosen = dialog.selectedFiles().front();
    const QString path = QString::fromStdString(WithOpmlExtension(chosen.toStdString()));
    if (!MayWrite(parent, chosen, path)) {
        return QString();
    }
    OpmlExportCount count;
    if (!COpmlDocument().ExportSubscriptions(store, path.toStdString(), kOpmlOwnerName,
                                             Services().Base("site.publisher"),
                                             ExportTreeOf(view, store.Settings()), &count)) {
        QMessageBox::warning(parent, QString::fromUtf8(kErrorCaption),
                             QString::fromUtf8(kErrorText).arg(path));
        return QString();
    }
    return QString::fromUtf8("已导出 %1 个新闻源、%2 个文件夹到 %3")
        .arg(count.feeds)
        .arg(count.folders)
        .arg(path);
}
