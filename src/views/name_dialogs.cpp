#include "views/name_dialogs.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/keyword_tree_file.h"
#include "views/tree_commands.h"
#include "views/tree_view.h"

const char CfolderDlg::kCaption[] = "添加文件夹";
const char CkeyDlg::kCaption[] = "添加频道";
const char CrenameDlg::kCaption[] = "文件夹改名";

CNameDlg::CNameDlg(const char* caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(caption));
    // No length limit on the edit itself: Name() takes what fits.
    m_edit = new QLineEdit(this);
    m_edit->setMinimumWidth(240);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
}

std::string CNameDlg::Name() const {
    const std::string text = m_edit->text().toStdString();
    return std::string(CutToCodePageLimit(text, kMaxNodeNameCodePageBytes));
}

CAddNodeDlg::CAddNodeDlg(const char* caption, int type, QTreeWidgetItem* target, QWidget* parent)
    : CNameDlg(caption, parent), m_type(type), m_target(CTD_TreeView::HandleOf(target)) {}

void CAddNodeDlg::accept() {
    if (g_pTreeView != nullptr) {
        const int parentId = g_pTreeView->Nodes().Lookup(m_target).id;
        g_pTreeView->AddNode(m_type, parentId, CKeywordNode::NewNode(Name(), m_type));
    }
    QDialog::accept();
}

CfolderDlg::CfolderDlg(QTreeWidgetItem* target, QWidget* parent)
    : CAddNodeDlg(kCaption, NODE_FOLDER, target, parent) {}

CkeyDlg::CkeyDlg(QTreeWidgetItem* target, QWidget* parent)
    : CAddNodeDlg(kCaption, NODE_KEY, target, parent) {}

CrenameDlg::CrenameDlg(QWidget* parent) : CNameDlg(kCaption, parent) {}

void CrenameDlg::accept() {
    if (g_pTreeView != nullptr && g_pTreeView->currentItem() != nullptr) {
        g_pTreeView->Commands().Rename(g_pTreeView->currentItem(), Name());
    }
    QDialog::accept();
}
