#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "store/app_settings.h"

class CMainFrame;
class CTD_TreeView;
class QAction;

// The news rules in the window: 帮助 → 过滤规则… (the dialog of every rule), 排除词… of a
// channel's menu (the words that hide that channel's news: a hide rule on the channel, made,
// changed or removed with them) and the 编辑 menu's check entry 显示已隐藏 (the lists show
// the items rules hid too, greyed; the choice is saved, kShowHiddenSetting). The store reads
// the rules again after each change and after every change of the tree (a folder rule
// follows the channels below its folder). Rules that could not be read are named in the
// status bar at start.
//
// Window thread only.
class CRuleCommands : public QObject {
    Q_OBJECT
public:
    // All four outlive this object (the frame owns it).
    CRuleCommands(CMainFrame& frame, CTD_TreeView& tree, QAction& rulesAction,
                  QAction& showHiddenAction);

    // Shows the saved 显示已隐藏 choice and names the damaged rules (once the settings and
    // the database have been read).
    void ShowSetting();
    static bool ShowHidden();
    void SetShowHidden(bool showHidden);

    void OpenRules();
    // Asks for the words that hide the news of `channel`, then saves them as its hide rule.
    void EditExcludedWords(const std::string& channel);

    static constexpr CAppSettings::IntKey kShowHiddenSetting{"list.show_hidden", 0, 0, 1};

private:
    // The tree's folder and channel names, each once, in tree order.
    void TreeNames(std::vector<std::string>* folders, std::vector<std::string>* channels) const;
    // Lists and counts read again after stored news changed.
    void ShowChangedNews();

    CMainFrame& m_frame;
    CTD_TreeView& m_tree;
    QAction& m_showHidden;
};
