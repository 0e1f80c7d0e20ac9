#include "dialogs/opml_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <iterator>

#include "base/clock.h"
#include "base/text_util.h"
#include "base/utc_time.h"
#include "feeds/feed_store.h"
#include "model/list_subscription.h"
#include "model/subscription_texts.h"
#include "views/tree_commands.h"
#include "views/tree_subscription.h"
#include "views/tree_view.h"

const char CTD_OpmlDlg::kFailureText[] = "对不起， 您的OPML当前无法订阅";
const char CTD_OpmlDlg::kDownloadingText[] = "正在读取列表…";

namespace {

// How often the new feeds' fetches are read while they run.
constexpr int kPollMs = 250;

// The texts are taken as the program's 512-byte fields take them.
std::string FieldText(const QLineEdit* edit) {
    char field[512] = {};
    CopyToField(field, edit->text().toStdString());
    return field;
}

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
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

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

QString CTD_OpmlDlg::FailureReason(const OpmlListRead& read) {
    switch (read.failure) {
        case OpmlListFailure::kHttpStatus:
            return Utf8("服务器回答 HTTP %1").arg(read.status);
        case OpmlListFailure::kUnreachable:
            return Utf8("无法连接");
        case OpmlListFailure::kTooLarge:
            return Utf8("列表太大");
        case OpmlListFailure::kFileMissing:
            return Utf8("找不到文件");
        case OpmlListFailure::kFileUnreadable:
            return Utf8("无法读取文件");
        case OpmlListFailure::kNotOpml:
            return Utf8("不是OPML文件");
        case OpmlListFailure::kNoFeeds:
            return Utf8("列表中没有新闻源");
        default:
            return Utf8("读取列表时出错");
    }
}

CTD_OpmlDlg::CTD_OpmlDlg(CFeedStore& store, CTD_TreeView& tree, QWidget* parent)
    : QDialog(parent), m_store(store), m_tree(tree) {
    setWindowTitle(Utf8("订阅OPML"));
    m_title = new QLineEdit(this);
    m_address = new QLineEdit(this);
    m_browse = new QPushButton(Utf8("浏览…"), this);
    m_browse->setAutoDefault(false);
    connect(m_browse, &QPushButton::clicked, this, &CTD_OpmlDlg::Browse);
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    m_progress = new QLabel(this);
    m_progress->setWordWrap(true);
    m_progress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &CTD_OpmlDlg::PollFetches);
    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(Utf8("确定"), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    m_close = buttons->addButton(Utf8("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTD_OpmlDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTD_OpmlDlg::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(Utf8("标题"), this), 0, 0);
    layout->addWidget(m_title, 0, 1, 1, 2);
    layout->addWidget(new QLabel(Utf8("地址"), this), 1, 0);
    layout->addWidget(m_address, 1, 1);
    layout->addWidget(m_browse, 1, 2);
    layout->addWidget(m_message, 2, 0, 1, 3);
    layout->addWidget(m_progress, 3, 0, 1, 3);
    layout->addWidget(buttons, 4, 0, 1, 3);
    m_title->setMinimumWidth(280);
}

CTD_OpmlDlg::~CTD_OpmlDlg() {
    m_fetch.Stop();
    SetFetching(false);
}

void CTD_OpmlDlg::Browse() {
    QFileDialog chooser(this, Utf8("选择OPML文件"));
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setNameFilters({Utf8("OPML文件 (*.opml *.xml)"), Utf8("所有文件 (*)")});
    if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty()) {
        m_address->setText(chooser.selectedFiles().first());
    }
}

void CTD_OpmlDlg::Refuse(const char* message, QLineEdit* edit) {
    m_message->setText(Utf8(message));
    edit->setFocus();
    edit->selectAll();
}

void CTD_OpmlDlg::accept() {
    if (m_fetching || m_subscribed) {
        return;  // the list of the first OK is still being read, or is subscribed
    }
    m_titleText = FieldText(m_title);
    const std::string address = FieldText(m_address);
    if (IsBlank(m_titleText)) {
        Refuse("请输入标题：订阅的频道放在以它命名的文件夹中。", m_title);
        return;
    }
    if (IsBlank(address)) {
        Refuse("请输入OPML列表的地址，或用“浏览…”选择文件。", m_address);
        return;
    }
    m_folderId = -1;
    m_folderMade = false;
    m_since = UtcTimeText(ClockNow());
    SetFetching(true);
    const bool started = m_fetch.Start(address, [this](OpmlListRead read) {
        QMetaObject::invokeMethod(
            this, [this, read = std::move(read)] { OnListRead(read); }, Qt::QueuedConnection);
    });
    if (!started) {
        Fail(Utf8("读取列表时出错"));
    }
}

void CTD_OpmlDlg::reject() {
    m_fetch.Stop();
    SetFetching(false);
    m_poll->stop();
    if (m_subscribed) {
        QDialog::accept();  // 关闭: the subscription stands
        return;
    }
    QDialog::reject();
}

void CTD_OpmlDlg::OnListRead(const OpmlListRead& read) {
    m_fetch.Join();
    SetFetching(false);
    if (read.failure == OpmlListFailure::kAbandoned) {
        return;  // Cancel, or the dialog closing: nothing is to change
    }
    if (!read.ok()) {
        Fail(FailureReason(read));
        return;
    }
    ListSubscription outcome;
    try {
        CTreeSubscription tree(m_tree);
        outcome = SubscribeOutlines(
            tree, m_store, [this] { return SubscriptionFolderId(); }, read.outlines);
    } catch (const std::exception&) {
        Fail(Utf8("读取列表时出错"));
        return;
    }
    if (outcome.added == 0 && outcome.existing == 0) {
        DropMadeFolder();
        Fail(Utf8(outcome.unstored > 0 ? "无法保存到数据库" : "列表中没有新闻源"));
        return;
    }
    ShowSubscribed(outcome);
}

void CTD_OpmlDlg::ShowSubscribed(const ListSubscription& outcome) {
    m_subscribed = true;
    m_summary = QString::fromStdString(SubscriptionSummaryText(outcome));
    m_message->setText(m_summary);
    m_ok->hide();
    m_close->setText(Utf8("关闭"));
    m_close->setDefault(true);
    m_browse->setEnabled(false);
    m_title->setReadOnly(true);
    m_address->setReadOnly(true);
    OpenFolder();
    emit Subscribed(m_summary);
    if (!outcome.feeds.empty()) {
        m_watch = std::make_unique<CFeedFetchWatch>(m_store, outcome.feeds, m_since);
        m_progress->setText(QString::fromStdString(FetchProgressText(*m_watch)));
        m_poll->start();
    }
}

void CTD_OpmlDlg::PollFetches() {
    if (!m_watch) {
        m_poll->stop();
        return;
    }
    if (!m_watch->Poll()) {
        m_progress->setText(QString::fromStdString(FetchProgressText(*m_watch)));
        return;
    }
    m_poll->stop();
    m_progress->setText(QString::fromStdString(FetchResultText(*m_watch)));
    emit Subscribed(QString::fromStdString(FetchedSummaryText(m_summary.toStdString(), *m_watch)));
    m_watch.reset();
}

void CTD_OpmlDlg::OpenFolder() {
    QTreeWidgetItem* item = m_tree.ItemOf(m_tree.Nodes().FindById(m_folderId));
    if (item == nullptr) {
        return;
    }
    for (QTreeWidgetItem* above = item; above != nullptr; above = above->parent()) {
        above->setExpanded(true);
    }
    m_tree.setCurrentItem(item);
    m_tree.scrollToItem(item);
}

int CTD_OpmlDlg::SubscriptionFolderId() {
    if (m_folderId >= 0) {
        return m_folderId;
    }
    m_folderId = TopLevelFolderId(m_tree, m_titleText);
    m_folderMade = m_folderId < 0;
    if (m_folderId < 0) {
        m_tree.AddNode(NODE_FOLDER, 0, CKeywordNode::NewNode(m_titleText, NODE_FOLDER),
                       &m_folderId);
    }
    return m_folderId;
}

void CTD_OpmlDlg::DropMadeFolder() {
    if (!m_folderMade || m_folderId < 0) {
        return;
    }
    // Nothing of the list was stored: only folders this subscription made are below it.
    QTreeWidgetItem* item = m_tree.ItemOf(m_tree.Nodes().FindById(m_folderId));
    if (item != nullptr) {
        m_tree.Commands().DeleteBranch(item);
    }
    m_folderId = -1;
    m_folderMade = false;
}

void CTD_OpmlDlg::SetFetching(bool fetching) {
    if (fetching == m_fetching) {
        return;
    }
    m_fetching = fetching;
    m_ok->setEnabled(!fetching);
    m_browse->setEnabled(!fetching);
    m_title->setReadOnly(fetching);
    m_address->setReadOnly(fetching);
    m_message->setText(fetching ? Utf8(kDownloadingText) : QString());
    if (fetching) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void CTD_OpmlDlg::Fail(const QString& reason) {
    m_fetch.Stop();
    SetFetching(false);
    m_message->setText(Utf8(kFailureText) + QLatin1Char('\n') + Utf8("原因：") + reason);
    m_address->setFocus();
    m_address->selectAll();
}
