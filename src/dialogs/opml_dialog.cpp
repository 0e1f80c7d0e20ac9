#include "dialogs/opml_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <exception>

#include "base/text_util.h"
#include "feeds/feed_store.h"
#include "feeds/subscribed_feed.h"
#include "views/tree_view.h"

const char CTD_OpmlDlg::kFailureText[] = "对不起， 您的OPML当前无法订阅";
const char CTD_OpmlDlg::kFailureCaption[] = "订阅错误";

namespace {

// The texts are taken as the program's 512-byte fields take them.
std::string FieldText(const QLineEdit* edit) {
    char field[512] = {};
    CopyToField(field, edit->text().toStdString());
    return field;
}

// The ID of the top-level folder named `name` as the tree would store it, ASCII case ignored,
// or -1.
int TopLevelFolderId(CTD_TreeView& tree, const std::string& name) {
    const CKeywordNode wanted = CKeywordNode::NewNode(name, NODE_FOLDER);
    CNodeMap& nodes = tree.Nodes();
    for (CNodeMap::Handle child : nodes.Children(nodes.FindById(0))) {
        const CKeywordNode record = nodes.Lookup(child);
        if (record.type == NODE_FOLDER && EqualsIgnoreAsciiCase(record.name, wanted.name)) {
            return record.id;
        }
    }
    return -1;
}

}  // namespace

CTD_OpmlDlg::CTD_OpmlDlg(CFeedStore& store, CTD_TreeView& tree, QWidget* parent)
    : QDialog(parent), m_store(store), m_tree(tree) {
    setWindowTitle(QString::fromUtf8("订阅OPML"));
    m_title = new QLineEdit(this);
    m_address = new QLineEdit(this);
    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTD_OpmlDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTD_OpmlDlg::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8("标题"), this), 0, 0);
    layout->addWidget(m_title, 0, 1);
    layout->addWidget(new QLabel(QString::fromUtf8("地址"), this), 1, 0);
    layout->addWidget(m_address, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);
    m_title->setMinimumWidth(280);
}

CTD_OpmlDlg::~CTD_OpmlDlg() {
    m_fetch.Stop();
    SetFetching(false);
}

int CTD_OpmlDlg::SubscriptionFolderId(const std::string& title) {
    const int existing = TopLevelFolderId(m_tree, title);
    if (existing >= 0) {
        return existing;
    }
    int id = -1;
    m_tree.AddNode(NODE_FOLDER, 0, CKeywordNode::NewNode(title, NODE_FOLDER), &id);
    return id;
}

void CTD_OpmlDlg::accept() {
    if (m_fetching) {
        return;  // the list of the first OK is still being read
    }
    try {
        const std::string address = FieldText(m_address);
        m_folderId = SubscriptionFolderId(FieldText(m_title));
        SetFetching(true);
        const bool started = m_fetch.Start(address, [this](OpmlListRead read) {
            QMetaObject::invokeMethod(
                this, [this, read = std::move(read)] { OnListRead(read); }, Qt::QueuedConnection);
        });
        if (!started) {
            Fail();
        }
    } catch (const std::exception&) {
        Fail();
    }
}

void CTD_OpmlDlg::reject() {
    m_fetch.Stop();
    SetFetching(false);
    QDialog::reject();
}

void CTD_OpmlDlg::OnListRead(const OpmlListRead& read) {
    m_fetch.Join();
    SetFetching(false);
    if (read.failed) {
        Fail();
        return;
    }
    try {
        AddOutlines(read.outlines);
    } catch (const std::exception&) {
        Fail();
        return;
    }
    QDialog::accept();
}

void CTD_OpmlDlg::AddOutlines(const std::vector<COpmlOutline>& outlines) {
    for (const COpmlOutline& outline : outlines) {
        // A pair stored before adds nothing; a row that could not be stored gets no channel,
        // so subscribing again can still add both.
        if (StoreSubscribedFeed(m_store, outline) != SubscribedFeedResult::kStored) {
            continue;
        }
        if (m_folderId >= 0) {
            // A second title in the folder is refused by the tree; its row stays, and the
            // engine fetches both addresses for the one channel of that name.
            m_tree.AddNode(NODE_KEY, m_folderId, CKeywordNode::NewNode(outline.title, NODE_KEY));
        }
    }
}

void CTD_OpmlDlg::SetFetching(bool fetching) {
    if (fetching == m_fetching) {
        return;
    }
    m_fetching = fetching;
    m_ok->setEnabled(!fetching);
    m_title->setReadOnly(fetching);
    m_address->setReadOnly(fetching);
    if (fetching) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void CTD_OpmlDlg::Fail() {
    m_fetch.Stop();
    SetFetching(false);
    QMessageBox::warning(this, QString::fromUtf8(kFailureCaption), QString::fromUtf8(kFailureText),
                         QMessageBox::Ok);
    QDialog::accept();
}
