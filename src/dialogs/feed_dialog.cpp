#include "dialogs/feed_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "base/text_util.h"
#include "feeds/feed_store.h"
#include "model/database_texts.h"
#include "views/tree_subscription.h"
#include "views/tree_view.h"

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Trimmed(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

// A name for a feed without a title: its host.
std::string HostName(const std::string& address) {
    const std::size_t start = address.find("://");
    if (start == std::string::npos) {
        return address;
    }
    const std::size_t end = address.find_first_of("/?#", start + 3);
    return address.substr(start + 3,
                          end == std::string::npos ? std::string::npos : end - start - 3);
}

}  // namespace

QString CTD_FeedDlg::ProbeFailureText(const FeedProbe& probe) {
    switch (probe.outcome) {
        case FeedProbeOutcome::kFeed:
        case FeedProbeOutcome::kPage:
            return {};
        case FeedProbeOutcome::kNotAFeed:
            return Utf8(
                "这个地址不是新闻源（RSS、Atom、RDF 或 JSON Feed），也不是提供新闻源的网页。");
        case FeedProbeOutcome::kPageWithoutFeeds:
            return Utf8("这个网页没有提供新闻源。请打开网站，找到它的 RSS 或 Atom 地址后再试。");
        case FeedProbeOutcome::kUnread:
            break;
    }
    switch (probe.document.failure) {
        case TypedDocumentFailure::kHttpStatus:
            return Utf8("服务器回答 HTTP %1，无法读取这个地址。").arg(probe.document.status);
        case TypedDocumentFailure::kUnreachable:
            return Utf8("无法连接到服务器：请检查地址和网络连接。");
        case TypedDocumentFailure::kTooLarge:
            return Utf8("这个地址的内容太大，不是新闻源。");
        case TypedDocumentFailure::kFileMissing:
            return Utf8("找不到这个文件。");
        case TypedDocumentFailure::kFileUnreadable:
            return Utf8("无法读取这个文件。");
        default:
            return Utf8("读取地址时出错。");
    }
}

CTD_FeedDlg::CTD_FeedDlg(CFeedStore& store, CTD_TreeView& tree, int folderId, QWidget* parent)
    : QDialog(parent), m_store(store), m_tree(tree), m_folderId(folderId) {
    setWindowTitle(Utf8("订阅新闻源"));
    m_address = new QLineEdit(this);
    m_address->setPlaceholderText(Utf8("新闻源或网站的地址，如 https://example.com/feed.xml"));
    m_name = new QLineEdit(this);
    m_name->setPlaceholderText(Utf8("留空则用新闻源的标题"));
    m_feeds = new QListWidget(this);
    m_feeds->hide();
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(Utf8("确定"), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    buttons->addButton(Utf8("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTD_FeedDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTD_FeedDlg::reject);
    connect(m_feeds, &QListWidget::itemDoubleClicked, this, &CTD_FeedDlg::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(Utf8("文件夹"), this), 0, 0);
    layout->addWidget(new QLabel(Utf8(FolderName()), this), 0, 1);
    layout->addWidget(new QLabel(Utf8("地址"), this), 1, 0);
    layout->addWidget(m_address, 1, 1);
    layout->addWidget(new QLabel(Utf8("名称"), this), 2, 0);
    layout->addWidget(m_name, 2, 1);
    layout->addWidget(m_feeds, 3, 0, 1, 2);
    layout->addWidget(m_message, 4, 0, 1, 2);
    layout->addWidget(buttons, 5, 0, 1, 2);
    m_address->setMinimumWidth(360);
}

CTD_FeedDlg::~CTD_FeedDlg() {
    m_job.Stop();
    SetReading(false);
}

std::string CTD_FeedDlg::FolderName() const {
    const CKeywordNode folder = m_tree.Nodes().Lookup(m_tree.Nodes().FindById(m_folderId));
    return folder.name;
}

void CTD_FeedDlg::accept() {
    if (IsReading()) {
        return;
    }
    std::string address = Trimmed(m_address);
    if (address.empty()) {
        Refuse(Utf8("请输入新闻源或网站的地址。"));
        return;
    }
    // A feed picked from the page's list is read next, in place of the page.
    if (!m_listedPage.empty() && address == m_listedPage && m_feeds->currentItem() != nullptr) {
        address = m_feeds->currentItem()->data(Qt::UserRole).toString().toStdString();
    }
    SetReading(true);
    const bool started = m_job.Start(
        [address](const std::atomic<bool>* stop) { return ProbeFeedAddress(address, stop); },
        [this, address](FeedProbe probe) {
            QMetaObject::invokeMethod(
                this, [this, probe = std::move(probe), address] { OnProbed(probe, address); },
                Qt::QueuedConnection);
        });
    if (!started) {
        SetReading(false);
        Refuse(Utf8("读取地址时出错。"));
    }
}

void CTD_FeedDlg::reject() {
    m_job.Stop();
    SetReading(false);
    QDialog::reject();
}

void CTD_FeedDlg::OnProbed(const FeedProbe& probe, const std::string& address) {
    m_job.Join();
    SetReading(false);
    if (probe.outcome == FeedProbeOutcome::kUnread &&
        probe.document.failure == TypedDocumentFailure::kAbandoned) {
        return;
    }
    if (probe.outcome == FeedProbeOutcome::kPage) {
        ShowCandidates(probe);
        return;
    }
    if (probe.outcome != FeedProbeOutcome::kFeed) {
        Refuse(ProbeFailureText(probe));
        return;
    }
    Subscribe(probe, address);
}

void CTD_FeedDlg::ShowCandidates(const FeedProbe& probe) {
    m_listedPage = Trimmed(m_address);
    m_feeds->clear();
    for (const FeedCandidate& candidate : probe.candidates) {
        const QString title = candidate.title.empty()
                                  ? Utf8(candidate.address)
                                  : Utf8(candidate.title + "  " + candidate.address);
        auto* item = new QListWidgetItem(title, m_feeds);
        item->setData(Qt::UserRole, Utf8(candidate.address));
    }
    m_feeds->setCurrentRow(0);
    m_feeds->show();
    m_feeds->setFocus();
    m_message->setText(Utf8("这个网页提供 %1 个新闻源，请选择一个，然后按“确定”。")
                           .arg(static_cast<int>(probe.candidates.size())));
}

void CTD_FeedDlg::Subscribe(const FeedProbe& probe, const std::string& address) {
    std::string name = Trimmed(m_name);
    if (name.empty()) {
        name = probe.title.empty() ? HostName(address) : probe.title;
        m_name->setText(Utf8(name));
    }
    CTreeSubscription tree(m_tree);
    const OneFeedResult result = SubscribeFeed(tree, m_store, m_folderId, name, address);
    switch (result.outcome) {
        case OneFeedResult::kAdded:
            m_added = result.name;
            emit Subscribed(Utf8("已订阅新闻源“%1”（%2），正在获取新闻")
                                .arg(Utf8(result.name), Utf8(probe.format)));
            QDialog::accept();
            return;
        case OneFeedResult::kAlreadyThere:
            Refuse(Utf8("这个文件夹中的频道“%1”已订阅这个新闻源。").arg(Utf8(result.name)));
            return;
        case OneFeedResult::kRefused:
            Refuse(Utf8("无法在这个文件夹中添加频道“%1”。").arg(Utf8(result.name)));
            return;
        case OneFeedResult::kUnstored:
            Refuse(
                Utf8("无法保存到数据库：%1").arg(Utf8(DatabaseFailureText(m_store.LastError()))));
            return;
    }
}

void CTD_FeedDlg::Refuse(const QString& message) {
    m_message->setText(message);
    m_address->setFocus();
    m_address->selectAll();
}

void CTD_FeedDlg::SetReading(bool reading) {
    if (reading == m_reading) {
        return;
    }
    m_reading = reading;
    m_ok->setEnabled(!reading);
    m_address->setReadOnly(reading);
    m_name->setReadOnly(reading);
    if (reading) {
        m_message->setText(Utf8("正在读取…"));
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}
