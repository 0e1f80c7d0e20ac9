#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "store/news_rules.h"

class CFeedStore;
class QLabel;
class QListWidget;
class QPushButton;

// "过滤规则": the list of rules applied to news as it arrives, in order, with 添加…, 编辑…,
// 删除 and 应用到已有新闻…. Each change is saved at once and the storing threads take the new
// rules for the next feed they store. Applying a rule to the news already stored first says
// how many items it would change and asks. Rules that could not be read are named below the
// list. Window thread only.
class CRulesDlg : public QDialog {
    Q_OBJECT
public:
    // `store` outlives the dialog; `folders` and `channels` are the tree's names.
    CRulesDlg(CFeedStore& store, std::vector<std::string> folders,
              std::vector<std::string> channels, QWidget* parent = nullptr);

    QListWidget* RuleList() const { return m_list; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* EditButton() const { return m_edit; }
    QPushButton* RemoveButton() const { return m_remove; }
    QPushButton* ApplyButton() const { return m_apply; }
    QLabel* DamageLabel() const { return m_damage; }
    const std::vector<NewsRule>& Rules() const { return m_rules; }

signals:
    // Stored news changed (a rule was applied to it): lists and counts are to be read again.
    void NewsChanged();

private:
    void Reload();
    void Edit(const NewsRule& rule);
    void RemoveSelected();
    void ApplySelected();
    void ShowFailure(const std::string& failure);
    const NewsRule* Selected() const;

    CFeedStore& m_store;
    std::vector<std::string> m_folders;
    std::vector<std::string> m_channels;
    std::vector<NewsRule> m_rules;  // as m_list shows them
    QListWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_apply = nullptr;
    QLabel* m_damage = nullptr;
};
