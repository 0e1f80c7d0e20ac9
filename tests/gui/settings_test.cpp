#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <filesystem>
#include <memory>

#include "app/proxy_commands.h"
#include "app/quillon_doc.h"
#include "dialogs/colour_dialog.h"
#include "dialogs/colour_swatch.h"
#include "dialogs/proxy_group.h"
#include "dialogs/sys_dialog.h"
#include "modal.h"
#include "reader_window.h"
#include "store/secret_store.h"
#include "support/sqlite_rows.h"
#include "views/command_ids.h"
#include "views/list_view.h"

namespace {

class Settings : public ReaderWindow {
protected:
    static CSysData& Record() { return theStore.Settings(); }
};

// The colour painted in the middle of `widget`.
QColor CentreColour(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

}  // namespace

TEST_F(Settings, TheDialogOpensOnTheRecordAndOkStoresEachFieldWithinItsRange) {
    Open();
    {
        CTD_SysDlg dialog(theStore.Settings(), theStore.MoreSettings(), {}, Frame());
        EXPECT_EQ(dialog.RetentionEdit()->text(), QStringLiteral("30"));
        EXPECT_EQ(dialog.MaxPagesEdit()->text(), QStringLiteral("5"));
        EXPECT_EQ(dialog.ItemsEdit()->text(), QStringLiteral("50"));
        EXPECT_EQ(dialog.EngineBox()->currentText(), QString::fromUtf8("百度"));
        ASSERT_EQ(dialog.EngineBox()->count(), 4);
        EXPECT_EQ(dialog.EngineBox()->itemText(3), QString::fromUtf8("搜狗"));
        // What 0 pages means is said where the number is set.
        const auto* note = dialog.findChild<QLabel*>(QStringLiteral("maxPagesNote"));
        ASSERT_NE(note, nullptr);
        EXPECT_TRUE(note->text().contains(QString::fromUtf8("订阅的新闻源照常更新")));
        // The edits take digits only.
        dialog.RetentionEdit()->clear();
        QTest::keyClicks(dialog.RetentionEdit(), QStringLiteral("1a-2 3"));
        EXPECT_EQ(dialog.RetentionEdit()->text(), QStringLiteral("123"));
    }

    // A value out of range is brought into range in its edit and said so; the next OK
    // stores it.
    struct Edge {
        const char* retention;
        const char* maxPages;
        const char* items;
        int retentionDays;
        int pages;
        int itemsPerPage;
        const char* message;  // nullptr: the first OK stores and closes
    };
    const Edge edges[] = {
        {"", "", "", 1, 0, 1, "新闻保留时间 最小为 1 天\n新闻每页条目 最小为 1 条"},
        {"0", "0", "0", 1, 0, 1, "新闻保留时间 最小为 1 天\n新闻每页条目 最小为 1 条"},
        {"7", "2", "20", 7, 2, 20, nullptr},
        {"36500", "100", "100", 36500, 100, 100, nullptr},
        {"36501", "101", "101", 36500, 100, 100,
         "新闻保留时间 最大为 36500 天\n新闻最大页码 最大为 100 页\n新闻每页条目 最大为 100 条"},
        {"99999999999999999999", "5", "50", 36500, 5, 50, "新闻保留时间 最大为 36500 天"},
        {"007", "01", "0050", 7, 1, 50, nullptr},
    };
    for (const Edge& edge : edges) {
        theStore.Settings().ResetToDefaults();
        const CSysData before = Record();
        CTD_SysDlg dialog(theStore.Settings(), theStore.MoreSettings(), {}, Frame());
        dialog.show();
        dialog.RetentionEdit()->setText(QString::fromLatin1(edge.retention));
        dialog.MaxPagesEdit()->setText(QString::fromLatin1(edge.maxPages));
        dialog.ItemsEdit()->setText(QString::fromLatin1(edge.items));
        dialog.accept();
        if (edge.message != nullptr) {
            EXPECT_TRUE(dialog.isVisible()) << edge.retention;
            EXPECT_TRUE(dialog.Message()->text().startsWith(QString::fromUtf8(edge.message)))
                << dialog.Message()->text().toStdString();
            EXPECT_EQ(Record().ToBytes(), before.ToBytes()) << edge.retention;
            EXPECT_EQ(dialog.RetentionEdit()->text(), QString::number(edge.retentionDays));
            dialog.accept();
        }
        EXPECT_FALSE(dialog.isVisible()) << edge.retention;
        EXPECT_EQ(Record().RetentionDays(), edge.retentionDays) << edge.retention;
        EXPECT_EQ(Record().MaxPages(), edge.pages) << edge.maxPages;
        EXPECT_EQ(Record().ItemsPerPage(), edge.itemsPerPage) << edge.items;
    }
}

TEST_F(Settings, OkAppliesTheEngineByNameAndCancelKeepsTheRecord) {
    Open();
    const struct {
        const char* typed;
        int engine;
    } names[] = {{"google", 1}, {"雅虎", 2}, {"Bing", 2}, {"", 2}, {"SOGOU", 2}, {"搜狗", 3}};
    for (const auto& name : names) {
        CTD_SysDlg dialog(theStore.Settings(), theStore.MoreSettings(), {}, Frame());
        dialog.EngineBox()->setEditText(QString::fromUtf8(name.typed));
        dialog.accept();
        EXPECT_EQ(Record().SearchEngine(), name.engine) << name.typed;
    }

    const CSysData before = Record();
    CTD_SysDlg dialog(theStore.Settings(), theStore.MoreSettings(), {}, Frame());
    dialog.RetentionEdit()->setText(QStringLiteral("9"));
    dialog.MaxPagesEdit()->setText(QStringLiteral("9"));
    dialog.ItemsEdit()->setText(QStringLiteral("9"));
    dialog.EngineBox()->setEditText(QStringLiteral("Google"));
    dialog.reject();
    EXPECT_EQ(Record().ToBytes(), before.ToBytes());
}

// 系统设置, then 设置, then the 今日新闻 swatch: the chooser starts at the swatch's colour; a
// chosen colour shows at once, and only the settings dialog's OK keeps it.
TEST_F(Settings, ChosenColoursAreUndoneByCancelKeptByOkPaintedAndSaved) {
    ExecSql(m_folder.File("data/data.dat"),
            "insert into channel (ID, rss_title) values (1, 'weather');"
            "insert into item (rss_channelID, rss_title, rss_pubDate, rss_source) values "
            "(1, 'Sunny', date('now'), 'S');");
    Open();
    g_pListView->List().pacing().SetEnabled(false);
    ClickItem(ItemNamed("weather"));
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 1; }, 5000));
    QSignalSpy changed(g_pDocument, &CQuillonDoc::SettingsChanged);
    const QColor chosen(10, 120, 30);

    // Chooses `chosen` for today's swatch, closes the colour dialog with `colourOk` and the
    // settings dialog with `settingsOk`; returns the colour the chooser started at.
    const auto choose = [&](bool colourOk, bool settingsOk, QColor* swatchAfter) {
        QColor start;
        AnswerNextModal<CTD_SysDlg>([&](CTD_SysDlg* settings) {
            AnswerNextModal<CTD_ColrefDlg>([&](CTD_ColrefDlg* colours) {
                AnswerNextModal<QColorDialog>([&](QColorDialog* chooser) {
                    start = chooser->currentColor();
                    chooser->setCurrentColor(chosen);
                    chooser->accept();
                });
                colours->Swatch(0)->click();
                *swatchAfter = CentreColour(colours->Swatch(0));
                // A chooser that is cancelled changes nothing.
                AnswerNextModal<QColorDialog>([](QColorDialog* chooser) {
                    chooser->setCurrentColor(Qt::white);
                    chooser->reject();
                });
                colours->Swatch(1)->click();
                if (colourOk) {
                    colours->accept();
                } else {
                    colours->reject();
                }
            });
            settings->ColourButton()->click();
            if (settingsOk) {
                settings->accept();
            } else {
                settings->reject();
            }
        });
        Frame()->CommandAction(ID_SYSTEM_SETTINGS)->trigger();
        return start;
    };

    QColor swatch;
    EXPECT_EQ(choose(true, false, &swatch), QColor(100, 100, 250));
    EXPECT_EQ(swatch, chosen);
    EXPECT_EQ(Record().CategoryColour(0), 0x00FA6464u);  // 取消 of the settings undid it
    choose(false, true, &swatch);
    EXPECT_EQ(Record().CategoryColour(0), 0x00FA6464u);  // 取消 of the colours undid it
    EXPECT_EQ(changed.count(), 0);

    EXPECT_EQ(choose(true, true, &swatch), QColor(100, 100, 250));
    EXPECT_EQ(Record().CategoryColour(0), ToColourReference(chosen));
    EXPECT_EQ(Record().CategoryColour(1), 0x00FA64FAu);
    EXPECT_EQ(changed.count(), 1);
    // The chooser starts at the colour now stored.
    EXPECT_EQ(choose(true, false, &swatch), chosen);

    // The list paints today's row in the new colour.
    const QRect cell = g_pListView->visualRect(g_pListView->model()->index(0, 1));
    const QImage list = g_pListView->viewport()->grab().toImage();
    EXPECT_EQ(list.pixelColor(cell.right() - 3, cell.center().y()), chosen);

    Close();
    const std::string saved = m_folder.ReadFile("data/sysdata.dat");
    ASSERT_GE(saved.size(), 20u);
    EXPECT_EQ(static_cast<unsigned char>(saved[16]), 10);
    EXPECT_EQ(static_cast<unsigned char>(saved[17]), 120);
    EXPECT_EQ(static_cast<unsigned char>(saved[18]), 30);
}

// The list shown is read again once 确定 changes the retention period.
TEST_F(Settings, OkReloadsTheListWithTheNewRetentionPeriod) {
    ExecSql(m_folder.File("data/data.dat"),
            "insert into channel (ID, rss_title) values (1, 'weather');"
            "insert into item (rss_channelID, rss_title, rss_pubDate) values "
            "(1, 'recent', date('now', '-10 days')), (1, 'older', date('now', '-40 days'));");
    Open();
    g_pListView->List().pacing().SetEnabled(false);
    ClickItem(ItemNamed("weather"));
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 1; }, 5000));
    AnswerNextModal<CTD_SysDlg>([](CTD_SysDlg* settings) {
        settings->RetentionEdit()->setText(QStringLiteral("60"));
        settings->accept();
    });
    Frame()->CommandAction(ID_SYSTEM_SETTINGS)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 2; }, 5000));

    // 取消 reads nothing again.
    AnswerNextModal<CTD_SysDlg>([](CTD_SysDlg* settings) {
        settings->RetentionEdit()->setText(QStringLiteral("20"));
        settings->reject();
    });
    Frame()->CommandAction(ID_SYSTEM_SETTINGS)->trigger();
    QTest::qWait(100);
    EXPECT_EQ(g_pListView->model()->rowCount(), 2);
}

// The dialog says what each field is, with each number's unit beside it, under the caption
// 系统设置; its note on values brought into range goes once the user has every value in range.
TEST_F(Settings, EachFieldSaysWhatItIsWithItsUnitAndTheRangeNoteGoesOnceValuesFit) {
    Open();
    CTD_SysDlg dialog(theStore.Settings(), theStore.MoreSettings(), {}, Frame());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("系统设置"));
    const auto label = [&dialog](const char* text) -> QLabel* {
        for (QLabel* each : dialog.findChildren<QLabel*>()) {
            if (each->text() == QString::fromUtf8(text)) {
                return each;
            }
        }
        return nullptr;
    };
    EXPECT_NE(label("搜索服务"), nullptr);
    EXPECT_EQ(label("新闻当前频道"), nullptr);
    const std::pair<const char*, QLineEdit*> units[] = {{"天", dialog.RetentionEdit()},
                                                        {"页", dialog.MaxPagesEdit()},
                                                        {"条", dialog.ItemsEdit()},
                                                        {"分钟", dialog.IntervalEdit()}};
    for (const auto& [unit, edit] : units) {
        QLabel* shown = label(unit);
        ASSERT_NE(shown, nullptr) << unit;
        const QRect at = shown->geometry();
        EXPECT_GT(at.left(), edit->geometry().right()) << unit;
        EXPECT_LE(std::abs(at.center().y() - edit->geometry().center().y()), 3) << unit;
    }

    dialog.RetentionEdit()->setText(QStringLiteral("99999"));
    dialog.accept();
    ASSERT_TRUE(dialog.Message()->isVisible());
    QLineEdit* items = dialog.ItemsEdit();
    items->setFocus();
    items->selectAll();
    QTest::keyClick(items, Qt::Key_Backspace);  // empty: below its least
    EXPECT_TRUE(dialog.Message()->isVisible());
    QTest::keyClicks(items, QStringLiteral("20"));
    EXPECT_FALSE(dialog.Message()->isVisible());
    dialog.reject();
}

// A settings file that cannot be written (here a folder holds its name) is reported when it
// is first saved, after 确定 of the settings, in words and once: not again as the window
// closes.
TEST_F(Settings, ASettingsFileThatCannotBeWrittenIsReportedOnce) {
    std::filesystem::create_directory(m_folder.File("data/settings.conf"));
    Open();
    const auto shown = std::make_shared<QStringList>();
    const auto answer = [shown](QMessageBox* box) {
        shown->append(box->text());
        box->accept();
    };
    AnswerNextModal<CTD_SysDlg>([](CTD_SysDlg* dialog) { dialog->accept(); });
    AnswerNextModal<QMessageBox>(answer);
    Frame()->CommandAction(ID_SYSTEM_SETTINGS)->trigger();
    ASSERT_EQ(shown->size(), 1);
    EXPECT_TRUE(shown->front().startsWith(QString::fromUtf8("设置无法保存到 ")));
    EXPECT_TRUE(shown->front().contains(QString::fromUtf8("那里有一个同名的文件夹")));

    AnswerNextModal<QMessageBox>(answer);
    Close();
    QTest::qWait(100);
    EXPECT_EQ(shown->size(), 1);
}

// 网络代理 is kept in settings.conf but for its password, which goes to the secret store; the
// dialog shows all of it again, the window and its fetches use it at once and after a
// restart, and a manual proxy without host is not stored.
TEST_F(Settings, TheProxySettingIsKeptWithItsPasswordOutOfTheSettingsFile) {
    constexpr char kPassword[] = "pa ss#wörd";
    Open();
    AnswerNextModal<CTD_SysDlg>([&](CTD_SysDlg* dialog) {
        CProxyGroup* proxy = dialog->ProxyGroup();
        EXPECT_TRUE(proxy->SystemButton()->isChecked());
        EXPECT_FALSE(proxy->HostEdit()->isEnabled());
        proxy->ManualButton()->setChecked(true);
        proxy->KindBox()->setCurrentIndex(1);
        proxy->HostEdit()->setText(QStringLiteral("127.0.0.1"));
        proxy->PortEdit()->setText(QStringLiteral("1080"));
        proxy->UserEdit()->setText(QStringLiteral("carol"));
        proxy->PasswordEdit()->setText(QString::fromUtf8(kPassword));
        dialog->accept();
    });
    Frame()->CommandAction(ID_SYSTEM_SETTINGS)->trigger();

    const std::string file = m_folder.ReadFile("data/settings.conf");
    for (const char* line : {"proxy.mode = manual", "proxy.type = socks5", "proxy.host = 127.0.0.1",
                             "proxy.port = 1080", "proxy.user = carol"}) {
        EXPECT_NE(file.find(line), std::string::npos) << line << "\n" << file;
    }
    EXPECT_EQ(file.find("pa ss"), std::string::npos) << file;
    const FetchProxy expected{ProxyMode::kManual, ProxyKind::kSocks5, "127.0.0.1", 1080, "carol",
                              kPassword};
    EXPECT_EQ(ProcessProxy(), expected);
    EXPECT_EQ(QNetworkProxy::applicationProxy().type(), QNetworkProxy::Socks5Proxy);
    EXPECT_EQ(CSecretStore(m_folder.Path()).Lookup("proxy").secret, kPassword);

    // After a restart the setting is read back, its password from the secret store.
    Close();
    SetProcessProxy(FetchProxy{});
    Open();
    EXPECT_EQ(ProcessProxy(), expected);
    AnswerNextModal<CTD_SysDlg>([](CTD_SysDlg* dialog) {
        CProxyGroup* proxy = dialog->ProxyGroup();
        EXPECT_TRUE(proxy->ManualButton()->isChecked());
        EXPECT_EQ(proxy->KindBox()->currentText(), QStringLiteral("SOCKS5"));
        EXPECT_EQ(proxy->PortEdit()->text(), QStringLiteral("1080"));
        EXPECT_EQ(proxy->PasswordEdit()->text(), QString::fromUtf8("pa ss#wörd"));
        proxy->HostEdit()->clear();
        dialog->accept();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->Message()->text(), QString::fromUtf8("手动代理需要服务器地址"));
        // 不使用代理 needs no host; clearing the user drops the password.
        proxy->NoneButton()->setChecked(true);
        proxy->UserEdit()->clear();
        dialog->accept();
    });
    Frame()->CommandAction(ID_SYSTEM_SETTINGS)->trigger();
    EXPECT_EQ(ProcessProxy().mode, ProxyMode::kNone);
    EXPECT_EQ(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);
    EXPECT_FALSE(CSecretStore(m_folder.Path()).Lookup("proxy").ok);
    EXPECT_NE(m_folder.ReadFile("data/settings.conf").find("proxy.mode = none"), std::string::npos);
    CProxyCommands::Apply(FetchProxy{});
}
