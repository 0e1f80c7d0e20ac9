#include "app/clean_commands.h"

#include <QMessageBox>
#include <QPushButton>

#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "feeds/feed_store.h"
#include "model/database_texts.h"
#include "model/news_age.h"
#include "store/news_cleanup.h"
#include "views/tree_view.h"

namespace {

QString DayText(const AccessDate& day) {
    return QString::asprintf("%04d-%02d-%02d", day.year, day.month, day.day);
}

QString SizeText(long long bytes) {
    return QString::fromStdString(ByteSizeText(bytes));
}

}  // namespace

bool CCleanCommands::s_running = false;

QString CCleanCommands::QuestionText(int days, bool keepUnread, long long items, long long bytes) {
    return QString::fromUtf8("将删除早于 %1 天（%2 之前）的新闻 %3 条，约可释放 %4。%5确定删除吗？")
        .arg(days)
        .arg(DayText(CleanCutoffDay(days)))
        .arg(items)
        .arg(SizeText(bytes))
        .arg(QString::fromUtf8(keepUnread ? "星标新闻和未读新闻保留。" : "星标新闻保留。"));
}

QString CCleanCommands::DoneText(long long items, long long sizeBefore, long long sizeAfter) {
    return QString::fromUtf8("已清理新闻 %1 条，数据库由 %2 变为 %3。")
        .arg(items)
        .arg(SizeText(sizeBefore), SizeText(sizeAfter));
}

bool CCleanCommands::CleanNow(QWidget* parent, int days, bool keepUnread) {
    if (s_running) {
        return false;
    }
    CleanPlan plan;
    std::string failure;
    bool counted = false;
    s_running = true;
    const QString status = m_frame.StatusText();
    m_frame.SetStatusText(QString::fromUtf8("正在统计旧新闻…"));
    CQuillonApp::RunOffWindowThread([&] {
        counted = CountOldNews(theStore, {CleanCutoffDay(days), keepUnread}, &plan, &failure);
    });
    s_running = false;
    m_frame.SetStatusText(status);
    if (!counted) {
        QMessageBox::warning(
            parent, QString::fromUtf8("立即清理"),
            QString::fromUtf8("无法统计要清理的新闻：%1").arg(QString::fromStdString(failure)));
        return false;
    }
    if (plan.items == 0) {
        QMessageBox::information(parent, QString::fromUtf8("立即清理"),
                                 QString::fromUtf8("没有早于 %1 天的新闻可清理。").arg(days));
        return false;
    }
    QMessageBox box(QMessageBox::Question, QString::fromUtf8("立即清理"),
                    QuestionText(days, keepUnread, plan.items, plan.bytes), QMessageBox::NoButton,
                    parent);
    QPushButton* remove = box.addButton(QString::fromUtf8("删除"), QMessageBox::DestructiveRole);
    box.setDefaultButton(box.addButton(QString::fromUtf8("取消"), QMessageBox::RejectRole));
    box.exec();
    if (box.clickedButton() != remove) {
        return false;
    }
    return Clean(days, keepUnread);
}

void CCleanCommands::AutoCleanAfterUpdate() {
    CAppSettings& settings = theStore.MoreSettings();
    if (s_running || settings.Get(CAppSettings::kAutoClean) == 0) {
        return;
    }
    const std::string today = DayText(CleanCutoffDay(0)).toStdString();
    if (settings.Get(CAppSettings::kLastAutoCleanDay) == today) {
        return;
    }
    settings.Set(CAppSettings::kLastAutoCleanDay, today);
    Clean(settings.Get(CAppSettings::kCleanDays),
          settings.Get(CAppSettings::kCleanKeepUnread) != 0);
}

bool CCleanCommands::Clean(int days, bool keepUnread) {
    s_running = true;
    m_frame.SetStatusText(QString::fromUtf8("正在清理旧新闻…"));
    CleanResult result;
    std::string failure;
    bool cleaned = false;
    CQuillonApp::RunOffWindowThread([&] {
        cleaned = CleanOldNews(theStore, {CleanCutoffDay(days), keepUnread}, &result, &failure);
    });
    s_running = false;
    if (!cleaned) {
        m_frame.SetStatusText(QString::fromUtf8("清理旧新闻时出错，已删除 %1 条：%2")
                                  .arg(result.itemsRemoved)
                                  .arg(QString::fromStdString(failure)));
    } else {
        m_frame.SetStatusText(DoneText(result.itemsRemoved, result.sizeBefore, result.sizeAfter));
    }
    if (result.itemsRemoved > 0) {
        m_frame.ReloadList();
        if (CTD_TreeView* tree = m_frame.TreeView()) {
            tree->RefreshCounts();
        }
    }
    return cleaned && result.itemsRemoved > 0;
}
