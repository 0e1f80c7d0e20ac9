#include "dialogs/rule_edit_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/rule_texts.h"

namespace {

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

const char* const CRuleEditDlg::kColours[][2] = {
    {"红色", "#ffc0c0"}, {"橙色", "#ffe0b0"}, {"黄色", "#fff5a0"},
    {"绿色", "#c8f0c8"}, {"蓝色", "#c8dcff"}, {"紫色", "#e6d2ff"},
};

CRuleEditDlg::CRuleEditDlg(const NewsRule& rule, std::vector<std::string> folders,
                           std::vector<std::string> channels, QWidget* parent)
    : QDialog(parent),
      m_id(rule.id),
      m_folders(std::move(folders)),
      m_channels(std::move(channels)) {
    setWindowTitle(QString::fromUtf8("过滤规则"));
    m_scope = new QComboBox(this);
    for (RuleScope scope : {RuleScope::kAll, RuleScope::kFolder, RuleScope::kChannel}) {
        m_scope->addItem(QString::fromUtf8(RuleScopeText(scope)));
    }
    m_place = new QComboBox(this);
    m_match = new QComboBox(this);
    for (RuleMatch match : {RuleMatch::kAny, RuleMatch::kNone}) {
        m_match->addItem(QString::fromUtf8(RuleMatchText(match)));
    }
    m_words = new QLineEdit(this);
    m_words->setPlaceholderText(QString::fromUtf8("以空格或逗号分开，如：彩票 广告"));
    m_action = new QComboBox(this);
    for (RuleAction action :
         {RuleAction::kMarkRead, RuleAction::kStar, RuleAction::kColour, RuleAction::kHide}) {
        m_action->addItem(QString::fromUtf8(RuleActionText(action)));
    }
    m_colour = new QComboBox(this);
    for (const auto& colour : kColours) {
        m_colour->addItem(QString::fromUtf8(colour[0]), QString::fromUtf8(colour[1]));
    }
    m_problem = new QLabel(this);
    m_problem->setStyleSheet(QStringLiteral("color: #c00000"));

    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8("应用于："), m_scope);
    form->addRow(QString::fromUtf8("名称："), m_place);
    form->addRow(QString::fromUtf8("标题或正文："), m_match);
    form->addRow(QString::fromUtf8("词语："), m_words);
    form->addRow(QString::fromUtf8("操作："), m_action);
    form->addRow(QString::fromUtf8("颜色："), m_colour);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QString::fromUtf8("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CRuleEditDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRuleEditDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);

    m_scope->setCurrentIndex(static_cast<int>(rule.scope));
    ShowPlaces();
    if (rule.scope != RuleScope::kAll) {
        const int at = m_place->findText(Utf8(rule.place));
        if (at < 0) {
            // A name the tree no longer has stays the rule's until the user picks another.
            m_place->addItem(Utf8(rule.place));
        }
        m_place->setCurrentText(Utf8(rule.place));
    }
    m_match->setCurrentIndex(static_cast<int>(rule.match));
    std::string words;
    for (const std::string& word : rule.words) {
        words += (words.empty() ? "" : " ") + word;
    }
    m_words->setText(Utf8(words));
    m_action->setCurrentIndex(static_cast<int>(rule.action));
    const int colour = m_colour->findData(Utf8(rule.colour));
    m_colour->setCurrentIndex(colour < 0 ? 0 : colour);
    m_colour->setEnabled(rule.action == RuleAction::kColour);
    connect(m_scope, &QComboBox::currentIndexChanged, this, [this] { ShowPlaces(); });
    connect(m_action, &QComboBox::currentIndexChanged, this, [this](int action) {
        m_colour->setEnabled(action == static_cast<int>(RuleAction::kColour));
    });
}

void CRuleEditDlg::ShowPlaces() {
    m_place->clear();
    const auto scope = static_cast<RuleScope>(m_scope->currentIndex());
    const std::vector<std::string>& names = scope == RuleScope::kFolder ? m_folders : m_channels;
    if (scope != RuleScope::kAll) {
        for (const std::string& name : names) {
            m_place->addItem(Utf8(name));
        }
    }
    m_place->setEnabled(scope != RuleScope::kAll);
}

NewsRule CRuleEditDlg::Rule() const {
    NewsRule rule;
    rule.id = m_id;
    rule.scope = static_cast<RuleScope>(m_scope->currentIndex());
    rule.place =
        rule.scope == RuleScope::kAll ? std::string() : m_place->currentText().toStdString();
    rule.match = static_cast<RuleMatch>(m_match->currentIndex());
    rule.words = SplitRuleWords(m_words->text().toStdString());
    rule.action = static_cast<RuleAction>(m_action->currentIndex());
    if (rule.action == RuleAction::kColour) {
        rule.colour = m_colour->currentData().toString().toStdString();
    }
    return rule;
}

void CRuleEditDlg::accept() {
    const NewsRule rule = Rule();
    if (rule.scope != RuleScope::kAll && rule.place.empty()) {
        m_problem->setText(QString::fromUtf8("请选择文件夹或频道。"));
        return;
    }
    if (!NewsRuleProblem(rule).empty()) {
        m_problem->setText(QString::fromUtf8("请输入至少一个词语。"));
        return;
    }
    QDialog::accept();
}
