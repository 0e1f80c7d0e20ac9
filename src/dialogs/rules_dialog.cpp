#include "dialogs/rules_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/rule_edit_dialog.h"
#include "feeds/feed_store.h"
#include "model/rule_texts.h"
#include "store/rule_applier.h"

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

CRulesDlg::CRulesDlg(CFeedStore& store, std::vector<std::string> folders,
                     std::vector<std::string> channels, QWidget* parent)
    : QDialog(parent),
      m_store(store),
      m_folders(std::move(folders)),
      m_channels(std::move(channels)) {
    setWindowTitle(Utf8("过滤规则"));
    m_list = new QListWidget(this);
    m_list->setMinimumWidth(420);
    m_add = new QPushButton(Utf8("添加…"), this);
    m_edit = new QPushButton(Utf8("编辑…"), this);
    m_remove = new QPushButton(Utf8("删除"), this);
    m_apply = new QPushButton(Utf8("应用到已有新闻…"), this);
    auto* close = new QPushButton(Utf8("关闭"), this);
    m_damage = new QLabel(this);
    m_damage->setWordWrap(true);
    m_damage->setStyleSheet(QStringLiteral("color: #c00000"));

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {m_add, m_edit, m_remove, m_apply}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* row = new QHBoxLayout;
    row->addWidget(m_list, 1);
    row->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Utf8("新闻到达时，依次使用以下规则："), this));
    layout->addLayout(row);
    layout->addWidget(m_damage);

    connect(m_add, &QPushButton::clicked, this, [this] { Edit(NewsRule()); });
    connect(m_edit, &QPushButton::clicked, this, [this] {
        if (const NewsRule* rule = Selected()) {
            Edit(*rule);
        }
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] {
        if (const NewsRule* rule = Selected()) {
            Edit(*rule);
        }
    });
    connect(m_remove, &QPushButton::clicked, this, &CRulesDlg::RemoveSelected);
    connect(m_apply, &QPushButton::clicked, this, &CRulesDlg::ApplySelected);
    connect(close, &QPushButton::clicked, this, &CRulesDlg::accept);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        for (QPushButton* button : {m_edit, m_remove, m_apply}) {
            button->setEnabled(row >= 0);
        }
    });
    Reload();
}

void CRulesDlg::Reload() {
    const int row = m_list->currentRow();
    std::vector<DamagedRule> damaged;
    std::string failure;
    if (!ReadNewsRules(m_store, &m_rules, &damaged, &failure)) {
        ShowFailure(failure);
    }
    m_store.LoadNewsRules();
    m_list->clear();
    for (const NewsRule& rule : m_rules) {
        m_list->addItem(QString::fromStdString(DescribeNewsRule(rule)));
    }
    m_list->setCurrentRow(std::min(row, static_cast<int>(m_rules.size()) - 1));
    for (QPushButton* button : {m_edit, m_remove, m_apply}) {
        button->setEnabled(m_list->currentRow() >= 0);
    }
    m_damage->setText(QString::fromStdString(DamagedRulesText(damaged)));
}

const NewsRule* CRulesDlg::Selected() const {
    const int row = m_list->currentRow();
    return row >= 0 && row < static_cast<int>(m_rules.size()) ? &m_rules[row] : nullptr;
}

void CRulesDlg::Edit(const NewsRule& rule) {
    CRuleEditDlg dialog(rule, m_folders, m_channels, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::int64_t id = 0;
    std::string failure;
    if (!SaveNewsRule(m_store, dialog.Rule(), &id, &failure)) {
        ShowFailure(failure);
        return;
    }
    Reload();
    for (std::size_t i = 0; i < m_rules.size(); ++i) {
        if (m_rules[i].id == id) {
            m_list->setCurrentRow(static_cast<int>(i));
        }
    }
}

void CRulesDlg::RemoveSelected() {
    const NewsRule* rule = Selected();
    if (rule == nullptr ||
        QMessageBox::question(this, Utf8("过滤规则"), Utf8("删除这条规则？已处理的新闻保持不变。"),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    std::string failure;
    if (!RemoveNewsRule(m_store, rule->id, &failure)) {
        ShowFailure(failure);
        return;
    }
    Reload();
}

void CRulesDlg::ApplySelected() {
    const NewsRule* selected = Selected();
    if (selected == nullptr) {
        return;
    }
    const NewsRule rule = *selected;
    const std::shared_ptr<const NewsRuleSet> set = m_store.NewsRules();
    const NewsRuleSet empty;
    std::int64_t items = 0;
    std::string failure;
    if (!RuleOnStoredNews(m_store, set ? *set : empty, rule, false, &items, &failure)) {
        ShowFailure(failure);
        return;
    }
    if (items == 0) {
        QMessageBox::information(this, Utf8("过滤规则"), Utf8("已有新闻中没有这条规则要改变的。"));
        return;
    }
    const QString question = Utf8("这条规则将改变 %1 条已有新闻（%2）。是否应用？")
                                 .arg(items)
                                 .arg(Utf8(RuleActionText(rule.action)));
    if (QMessageBox::question(this, Utf8("过滤规则"), question,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    if (!RuleOnStoredNews(m_store, set ? *set : empty, rule, true, &items, &failure)) {
        ShowFailure(failure);
        return;
    }
    emit NewsChanged();
}

void CRulesDlg::ShowFailure(const std::string& failure) {
    QMessageBox::warning(this, Utf8("过滤规则"),
                         Utf8("无法读写过滤规则：%1").arg(QString::fromStdString(failure)));
}
