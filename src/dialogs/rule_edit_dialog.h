#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "store/news_rules.h"

class QComboBox;
class QLabel;
class QLineEdit;

// "过滤规则" of one rule: where it applies (所有频道, a folder, a channel, the latter two chosen
// among the tree's names), what it looks for (含任一词 or 不含这些词, the words typed apart by
// blanks or commas), and what it does (标为已读, 加星标, 行着色 with one of a few colours, 隐藏).
// OK is refused, with the reason shown, while the rule could not be applied. Window thread only.
class CRuleEditDlg : public QDialog {
    Q_OBJECT
public:
    // `folders` and `channels` are the tree's names offered for a folder or channel rule.
    CRuleEditDlg(const NewsRule& rule, std::vector<std::string> folders,
                 std::vector<std::string> channels, QWidget* parent = nullptr);

    // The rule as the fields say now (its id as given).
    NewsRule Rule() const;

    QComboBox* ScopeBox() const { return m_scope; }
    QComboBox* PlaceBox() const { return m_place; }
    QComboBox* MatchBox() const { return m_match; }
    QLineEdit* WordsEdit() const { return m_words; }
    QComboBox* ActionBox() const { return m_action; }
    QComboBox* ColourBox() const { return m_colour; }

    // The colours a rule can give a row: name and #rrggbb.
    static const char* const kColours[][2];

public slots:
    void accept() override;

private:
    void ShowPlaces();

    std::int64_t m_id = 0;
    std::vector<std::string> m_folders;
    std::vector<std::string> m_channels;
    QComboBox* m_scope = nullptr;
    QComboBox* m_place = nullptr;
    QComboBox* m_match = nullptr;
    QLineEdit* m_words = nullptr;
    QComboBox* m_action = nullptr;
    QComboBox* m_colour = nullptr;
    QLabel* m_problem = nullptr;
};
