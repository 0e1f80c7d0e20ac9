#include "app/rule_commands.h"

#include <QAction>
#include <QInputDialog>
#include <QMessageBox>
#include <QSignalBlocker>
#include <algorithm>

#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "base/ascii.h"
#include "dialogs/rules_dialog.h"
#include "model/rule_texts.h"
#include "store/rule_applier.h"
#include "views/list_view.h"
#include "views/tree_view.h"

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

// The rule 排除词… edits for `channel`: its first hide rule for words the news holds.
bool IsExcludeRule(const NewsRule& rule, const std::string& channel) {
    return rule.scope == RuleScope::kChannel && EqualsIgnoreAsciiCase(rule.place, channel) &&
           rule.match == RuleMatch::kAny && rule.action == RuleAction::kHide;
}

}  // namespace

CRuleCommands::CRuleCommands(CMainFrame& frame, CTD_TreeView& tree, QAction& rulesAction,
                             QAction& showHiddenAction)
    : QObject(&frame), m_frame(frame), m_tree(tree), m_showHidden(showHiddenAction) {
    m_showHidden.setCheckable(true);
    connect(&m_showHidden, &QAction::toggled, this, &CRuleCommands::SetShowHidden);
    connect(&rulesAction, &QAction::triggered, this, &CRuleCommands::OpenRules);
    connect(&m_tree, &CTD_TreeView::ExcludedWordsRequested, this,
            &CRuleCommands::EditExcludedWords);
    connect(&m_tree, &CTD_TreeView::TreeChanged, this, [] { theStore.LoadNewsRules(); });
}

bool CRuleCommands::ShowHidden() {
    return theStore.MoreSettings().Get(kShowHiddenSetting) != 0;
}

void CRuleCommands::ShowSetting() {
    const QSignalBlocker quiet(&m_showHidden);
    m_showHidden.setChecked(ShowHidden());
    if (g_pListView) {
        g_pListView->List().SetShowHidden(ShowHidden());
    }
    const std::string damaged = DamagedRulesText(theStore.DamagedRules());
    if (!damaged.empty()) {
        m_frame.SetStatusText(QString::fromStdString(damaged));
    }
}

void CRuleCommands::SetShowHidden(bool showHidden) {
    if (showHidden != ShowHidden()) {
        theStore.MoreSettings().Set(kShowHiddenSetting, showHidden ? 1 : 0);
        // Saved now, not only at exit: a crash does not lose the choice.
        theStore.SaveSettings();
    }
    ShowSetting();
    if (g_pListView != nullptr && !g_pListView->ShowsSearch()) {
        m_frame.ReloadList();
    }
}

void CRuleCommands::TreeNames(std::vector<std::string>* folders,
                              std::vector<std::string>* channels) const {
    CNodeMap& nodes = m_tree.Nodes();
    for (CNodeMap::Handle handle : nodes.Descendants(nodes.FindById(0))) {
        const CKeywordNode record = nodes.Lookup(handle);
        std::vector<std::string>* names = record.type == NODE_FOLDER ? folders
                                          : record.type == NODE_KEY  ? channels
                                                                     : nullptr;
        if (names && std::find(names->begin(), names->end(), record.name) == names->end()) {
            names->emplace_back(record.name);
        }
    }
}

void CRuleCommands::OpenRules() {
    std::vector<std::string> folders;
    std::vector<std::string> channels;
    TreeNames(&folders, &channels);
    CRulesDlg dialog(theStore, std::move(folders), std::move(channels), &m_frame);
    connect(&dialog, &CRulesDlg::NewsChanged, this, &CRuleCommands::ShowChangedNews);
    dialog.exec();
}

void CRuleCommands::EditExcludedWords(const std::string& channel) {
    std::vector<NewsRule> rules;
    std::vector<DamagedRule> damaged;
    std::string failure;
    if (!ReadNewsRules(theStore, &rules, &damaged, &failure)) {
        QMessageBox::warning(&m_frame, Utf8("排除词"),
                             Utf8("无法读取过滤规则：%1").arg(QString::fromStdString(failure)));
        return;
    }
    const auto found = std::find_if(rules.begin(), rules.end(), [&](const NewsRule& rule) {
        return IsExcludeRule(rule, channel);
    });
    NewsRule rule;
    rule.scope = RuleScope::kChannel;
    rule.place = channel;
    rule.match = RuleMatch::kAny;
    rule.action = RuleAction::kHide;
    std::string words;
    if (found != rules.end()) {
        rule = *found;
        for (const std::string& word : rule.words) {
            words += (words.empty() ? "" : " ") + word;
        }
    }
    QInputDialog ask(&m_frame);
    ask.setWindowTitle(Utf8("排除词"));
    ask.setLabelText(Utf8("隐藏频道“%1”中标题或正文含有以下任一词语的新闻\n"
                          "（以空格或逗号分开；清空则不再隐藏）：")
                         .arg(QString::fromStdString(channel)));
    ask.setTextValue(QString::fromStdString(words));
    ask.setOkButtonText(Utf8("确定"));
    ask.setCancelButtonText(Utf8("取消"));
    if (ask.exec() != QDialog::Accepted) {
        return;
    }
    rule.words = SplitRuleWords(ask.textValue().toStdString());
    bool saved = true;
    if (rule.words.empty()) {
        saved = rule.id == 0 || RemoveNewsRule(theStore, rule.id, &failure);
    } else {
        saved = SaveNewsRule(theStore, rule, &rule.id, &failure);
    }
    theStore.LoadNewsRules();
    if (!saved) {
        QMessageBox::warning(&m_frame, Utf8("排除词"),
                             Utf8("无法保存排除词：%1").arg(QString::fromStdString(failure)));
        return;
    }
    if (rule.words.empty()) {
        return;
    }
    // The news stored already is hidden only when the user says so, after hearing how much.
    const std::shared_ptr<const NewsRuleSet> set = theStore.NewsRules();
    std::int64_t items = 0;
    if (!set || !RuleOnStoredNews(theStore, *set, rule, false, &items, &failure) || items == 0) {
        return;
    }
    if (QMessageBox::question(&m_frame, Utf8("排除词"),
                              Utf8("频道“%1”已有 %2 条新闻含有这些词语。是否也隐藏它们？")
                                  .arg(QString::fromStdString(channel))
                                  .arg(items),
                              QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes &&
        RuleOnStoredNews(theStore, *set, rule, true, &items, &failure)) {
        ShowChangedNews();
    }
}

void CRuleCommands::ShowChangedNews() {
    m_tree.RefreshCounts();
    m_tree.RecountStarred();
    if (g_pListView != nullptr && !g_pListView->ShowsSearch()) {
        m_frame.ReloadList();
    }
}
