#include "views/name_dialogs.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/keyword_tree_file.h"

const char CfolderDlg::kCaption[] = "添加文件夹";
const char CkeyDlg::kCaption[] = "添加频道";
const char CrenameDlg::kCaption[] = "文件夹改名";
const char CkeyDlg::kAddressQuestion[] =
    "“%1”是一个网址。频道是一个搜索词，这个网址不会被当作新闻源读取。\n"
    "要把它作为新闻源订阅吗？";
const char CkeyDlg::kSubscribeButton[] = "订阅新闻源…";

namespace {

// Whether a name typed as a channel is rather the address of a site or a feed.
bool LooksLikeAddress(const QString& text) {
    const QString trimmed = text.trimmed();
    return trimmed.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
           trimmed.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive) ||
           trimmed.startsWith(QStringLiteral("www."), Qt::CaseInsensitive);
}

}  // namespace

CNameDlg::CNameDlg(const char* caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(caption));
    // No length limit on the edit itself: Name() takes what fits.
    m_edit = new QLineEdit(this);
    m_edit->setMinimumWidth(240);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNameDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    m_message->hide();
    auto* layout = new QVBoxLayout(this);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    m_note->hide();
    layout->addWidget(m_note);
    layout->addWidget(m_edit);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
}

void CNameDlg::SetName(const std::string& name) {
    m_edit->setText(QString::fromStdString(name));
    m_edit->selectAll();
}

void CNameDlg::accept() {
    const QString refusal = m_check ? m_check(Name()) : QString();
    if (!refusal.isEmpty()) {
        m_message->setText(refusal);
        m_message->show();
        m_edit->setFocus();
        m_edit->selectAll();
        return;
    }
    QDialog::accept();
}

std::string CNameDlg::Name() const {
    const std::string text = m_edit->text().toStdString();
    return std::string(CutToCodePageLimit(text, kMaxNodeNameCodePageBytes));
}

CfolderDlg::CfolderDlg(QWidget* parent) : CNameDlg(kCaption, parent) {}

void CNameDlg::SetNote(const QString& note) {
    m_note->setText(note);
    m_note->show();
}

CkeyDlg::CkeyDlg(QWidget* parent) : CNameDlg(kCaption, parent) {
    SetNote(
        QString::fromUtf8("频道是一个搜索词：Quillon 在新闻搜索服务中搜索它的新闻。"
                          "要订阅网站的新闻源，请用“订阅新闻源…”。"));
}

void CkeyDlg::accept() {
    if (!LooksLikeAddress(Edit()->text())) {
        CNameDlg::accept();
        return;
    }
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kCaption),
                    QString::fromUtf8(kAddressQuestion).arg(Edit()->text().trimmed()),
                    QMessageBox::NoButton, this);
    QPushButton* feed = box.addButton(QString::fromUtf8(kSubscribeButton), QMessageBox::AcceptRole);
    QPushButton* word =
        box.addButton(QString::fromUtf8("作为搜索词添加"), QMessageBox::DestructiveRole);
    box.addButton(QString::fromUtf8("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(feed);
    box.exec();
    if (box.clickedButton() == feed) {
        m_wantsFeed = true;
        QDialog::accept();
    } else if (box.clickedButton() == word) {
        CNameDlg::accept();
    }
}

CrenameDlg::CrenameDlg(QWidget* parent) : CNameDlg(kCaption, parent) {}
