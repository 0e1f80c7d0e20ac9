// 过滤规则…, 排除词… and 显示已隐藏, in the real window offscreen.

#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include "dialogs/rule_edit_dialog.h"
#include "dialogs/rules_dialog.h"
#include "modal.h"
#include "tree_editing.h"
#include "views/command_ids.h"

namespace {

// 足球 (ID 1) holds three news of today, weather (ID 2) two; every item unread.
class Rules : public TreeEditing {
protected:
    void SetUp() override {
        TreeEditing::SetUp();
        ExecSql(Db(),
                "insert into channel (ID, rss_title) values (1, '足球'), (2, 'weather');"
                "insert into item (ID, rss_channelID, rss_title, rss_pubDate) values "
                "(1, 1, '彩票广告', date('now')), (2, 1, '开幕', date('now')), "
                "(3, 1, '球迷', date('now')), (4, 2, 'Sunny', date('now')), "
                "(5, 2, 'Rain', date('now'));");
    }

    std::string Db() const { return m_folder.File("data/data.dat"); }

    void OpenOn(QTreeWidgetItem* item, int rows) {
        g_pListView->List().pacing().SetEnabled(false);
        ClickItem(item);
        ASSERT_TRUE(QTest::qWaitFor([rows] { return Listed() == rows; }, 5000)) << Listed();
    }
    static int Listed() { return g_pListView->model()->rowCount(); }
    static QModelIndex Cell(int row, int column = 1) {
        return g_pListView->model()->index(row, column);
    }
    static int RowTitled(const char* title) {
        for (int row = 0; row < Listed(); ++row) {
            if (Cell(row).data().toString() == QString::fromUtf8(title)) {
                return row;
            }
        }
        return -1;
    }
    Rows Hidden() { return QueryRows(Db(), "select item_id from item_hidden order by 1"); }

    // Answers the next rule dialog: `fill` sets its fields, then OK.
    static void AnswerRule(std::function<void(CRuleEditDlg*)> fill) {
        AnswerNextModal<CRuleEditDlg>([fill](CRuleEditDlg* dialog) {
            fill(dialog);
            dialog->accept();
        });
    }
    // Answers the next message box with `button`, keeping its text in `text`.
    static void AnswerBox(QMessageBox::StandardButton button, QString* text) {
        AnswerNextModal<QMessageBox>([button, text](QMessageBox* box) {
            *text = box->text();
            box->button(button)->click();
        });
    }
};

}  // namespace

// A rule made in 过滤规则… is saved, goes to the store for the news to come, and, once asked
// and told how many, applies to the news stored already; 显示已隐藏 lists the hidden items,
// greyed; an edited rule replaces the old one and a removed one is gone.
TEST_F(Rules, TheRulesDialogMakesEditsAppliesAndRemovesRules) {
    Open();
    OpenOn(ItemNamed("足球"), 3);
    bool ran = false;
    QString asked;
    QString refusal;
    AnswerNextModal<CRulesDlg>([&](CRulesDlg* dialog) {
        // A rule without words is refused; the dialog stays open and says why.
        AnswerNextModal<CRuleEditDlg>([&](CRuleEditDlg* edit) {
            edit->accept();
            for (QLabel* label : edit->findChildren<QLabel*>()) {
                if (!label->text().isEmpty() && label->text().contains(QString::fromUtf8("请"))) {
                    refusal = label->text();
                }
            }
            edit->reject();
        });
        dialog->AddButton()->click();
        EXPECT_EQ(dialog->RuleList()->count(), 0);

        AnswerRule([](CRuleEditDlg* edit) {
            edit->ScopeBox()->setCurrentIndex(static_cast<int>(RuleScope::kChannel));
            edit->PlaceBox()->setCurrentText(QString::fromUtf8("足球"));
            edit->WordsEdit()->setText(QString::fromUtf8("彩票，赌球"));
            edit->ActionBox()->setCurrentIndex(static_cast<int>(RuleAction::kHide));
        });
        dialog->AddButton()->click();
        ASSERT_EQ(dialog->RuleList()->count(), 1);
        EXPECT_EQ(dialog->RuleList()->item(0)->text(),
                  QString::fromUtf8("频道“足球”：含任一词“彩票 赌球” → 隐藏"));

        AnswerBox(QMessageBox::Yes, &asked);
        dialog->ApplyButton()->click();
        ran = true;
        dialog->accept();
    });
    Frame()->CommandAction(ID_NEWS_RULES)->trigger();
    ASSERT_TRUE(ran);
    EXPECT_TRUE(refusal.contains(QString::fromUtf8("词语"))) << refusal.toStdString();
    EXPECT_TRUE(asked.contains(QString::fromUtf8("1 条"))) << asked.toStdString();
    EXPECT_EQ(Hidden(), (Rows{{"1"}}));
    ASSERT_EQ(theStore.NewsRules()->Rules().size(), 1u);
    ASSERT_TRUE(QTest::qWaitFor([] { return Listed() == 2; }, 5000)) << Listed();
    EXPECT_EQ(RowTitled("彩票广告"), -1);

    QAction* showHidden = Frame()->CommandAction(ID_SHOW_HIDDEN);
    showHidden->trigger();
    ASSERT_TRUE(QTest::qWaitFor([] { return Listed() == 3; }, 5000)) << Listed();
    EXPECT_EQ(Cell(RowTitled("彩票广告")).data(Qt::ForegroundRole).value<QColor>(),
              QColor(Qt::gray));
    EXPECT_FALSE(Cell(RowTitled("开幕")).data(Qt::ForegroundRole).isValid());
    showHidden->trigger();
    ASSERT_TRUE(QTest::qWaitFor([] { return Listed() == 2; }, 5000)) << Listed();

    // A colour rule on every channel, then the rule edited and removed.
    ran = false;
    AnswerNextModal<CRulesDlg>([&](CRulesDlg* dialog) {
        AnswerRule([](CRuleEditDlg* edit) {
            edit->WordsEdit()->setText(QStringLiteral("sunny"));
            edit->ActionBox()->setCurrentIndex(static_cast<int>(RuleAction::kColour));
            edit->ColourBox()->setCurrentIndex(1);
        });
        dialog->AddButton()->click();
        ASSERT_EQ(dialog->RuleList()->count(), 2);
        dialog->RuleList()->setCurrentRow(1);
        AnswerBox(QMessageBox::Yes, &asked);
        dialog->ApplyButton()->click();

        AnswerRule([](CRuleEditDlg* edit) {
            EXPECT_EQ(edit->WordsEdit()->text(), QString::fromUtf8("彩票 赌球"));
            edit->WordsEdit()->setText(QString::fromUtf8("球迷"));
        });
        dialog->RuleList()->setCurrentRow(0);
        dialog->EditButton()->click();
        EXPECT_EQ(dialog->RuleList()->item(0)->text(),
                  QString::fromUtf8("频道“足球”：含任一词“球迷” → 隐藏"));

        AnswerBox(QMessageBox::Yes, &asked);
        dialog->RuleList()->setCurrentRow(1);
        dialog->RemoveButton()->click();
        EXPECT_EQ(dialog->RuleList()->count(), 1);
        ran = true;
        dialog->accept();
    });
    Frame()->CommandAction(ID_NEWS_RULES)->trigger();
    ASSERT_TRUE(ran);
    EXPECT_EQ(QueryRows(Db(), "select item_id, colour from item_colour"),
              (Rows{{"4", CRuleEditDlg::kColours[1][1]}}));
    EXPECT_EQ(QueryRows(Db(), "select scope, place, match, words, action from news_rule"),
              (Rows{{"channel", "足球", "any", "球迷", "hide"}}));
    ASSERT_EQ(theStore.NewsRules()->Rules().size(), 1u);
    // What a rule did stays when the rule changes: the item it hid is still hidden.
    EXPECT_EQ(Hidden(), (Rows{{"1"}}));

    OpenOn(ItemNamed("weather"), 2);
    EXPECT_EQ(Cell(RowTitled("Sunny")).data(Qt::BackgroundRole).value<QColor>(),
              QColor(QString::fromUtf8(CRuleEditDlg::kColours[1][1])));
}

// 排除词… of a channel makes its hide rule, shows the words it has, asks before hiding the
// news stored already, and with the words cleared removes the rule; 显示已隐藏 is kept across
// a restart. A damaged rule is named in the status bar at start.
TEST_F(Rules, ExcludedWordsOfAChannelMakeItsHideRule) {
    Open();
    OpenOn(ItemNamed("weather"), 2);
    QString shown;
    QString asked;
    AnswerNextModal<QInputDialog>([&](QInputDialog* ask) {
        shown = ask->textValue();
        ask->setTextValue(QStringLiteral("sunny fog"));
        ask->accept();
    });
    AnswerBox(QMessageBox::Yes, &asked);
    Command(ItemNamed("weather"), ID_KEY_EXCLUDE_WORDS);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !asked.isEmpty(); }, 3000));
    EXPECT_EQ(shown, QString());
    EXPECT_TRUE(asked.contains(QString::fromUtf8("1 条"))) << asked.toStdString();
    EXPECT_EQ(Hidden(), (Rows{{"4"}}));
    EXPECT_EQ(QueryRows(Db(), "select scope, place, match, words, action from news_rule"),
              (Rows{{"channel", "weather", "any", "sunny\nfog", "hide"}}));
    ASSERT_TRUE(QTest::qWaitFor([] { return Listed() == 1; }, 5000)) << Listed();

    // Shown again as they were; cleared, the rule goes and the hidden item stays hidden.
    bool answered = false;
    AnswerNextModal<QInputDialog>([&](QInputDialog* ask) {
        shown = ask->textValue();
        ask->setTextValue(QString());
        ask->accept();
        answered = true;
    });
    Command(ItemNamed("weather"), ID_KEY_EXCLUDE_WORDS);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 3000));
    EXPECT_EQ(shown, QStringLiteral("sunny fog"));
    EXPECT_EQ(QueryRows(Db(), "select count(*) from news_rule"), (Rows{{"0"}}));
    EXPECT_TRUE(theStore.NewsRules()->Empty());
    EXPECT_EQ(Hidden(), (Rows{{"4"}}));

    Frame()->CommandAction(ID_SHOW_HIDDEN)->trigger();
    ExecSql(Db(),
            "insert into news_rule (ID, scope, place, match, words, action, colour) "
            "values (7, 'all', '', 'any', 'x', 'explode', '')");
    Close();
    Open();
    EXPECT_TRUE(Frame()->CommandAction(ID_SHOW_HIDDEN)->isChecked());
    EXPECT_TRUE(Frame()->StatusText().contains(QString::fromUtf8("过滤规则 7 已损坏")))
        << Frame()->StatusText().toStdString();
    OpenOn(ItemNamed("weather"), 2);
}
