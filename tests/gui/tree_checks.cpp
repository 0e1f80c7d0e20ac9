#include "tree_checks.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidgetItem>
#include <map>
#include <set>

#include "app/main_frame.h"
#include "store/keyword_tree_file.h"
#include "views/name_dialogs.h"
#include "views/tree_view.h"

namespace {

struct FileNode {
    int type = NODE_NONE;
    std::string name;
    std::vector<int> children;
};

struct FileTree {
    std::map<int, FileNode> nodes;
    int loaded = 0;
};

FileTree LoadFileTree(const std::string& path) {
    FileTree tree;
    const std::string rootLabel =
        CKeywordTreeFile(path).Load([&tree](const CKeywordNode& node, int parentId) {
            ++tree.loaded;
            tree.nodes[node.id].type = node.type;
            tree.nodes[node.id].name = node.name;
            tree.nodes[parentId].children.push_back(node.id);
        });
    tree.nodes[0].type = NODE_FOLDER;
    tree.nodes[0].name = rootLabel;
    return tree;
}

bool LabelShowsName(const QString& label, const std::string& name) {
    const QString bare = QString::fromStdString(name);
    if (label == bare) {
        return true;
    }
    bool isNumber = false;
    label.mid(bare.size() + 1).toInt(&isNumber);
    return label.startsWith(bare + QLatin1Char('|')) && isNumber;
}

// Walks the control below `item`, which must show the file's node `id`.
class TreeComparer {
public:
    explicit TreeComparer(FileTree file) : m_file(std::move(file)) {}

    std::string Compare(QTreeWidgetItem* item, int id, const std::string& where) {
        CNodeMap& nodes = g_pTreeView->Nodes();
        const CNodeMap::Handle handle = CTD_TreeView::HandleOf(item);
        const CKeywordNode record = nodes.Lookup(handle);
        const std::string at = where + "/" + record.name;
        ++m_items;
        if (!m_ids.insert(record.id).second) {
            return at + ": ID " + std::to_string(record.id) + " twice";
        }
        const auto found = m_file.nodes.find(id);
        if (found == m_file.nodes.end() || record.id != id) {
            return at + ": ID " + std::to_string(record.id) + ", file has " + std::to_string(id);
        }
        const FileNode& node = found->second;
        if (record.item != handle || record.name != node.name || record.type != node.type) {
            return at + ": record differs from the file's " + node.name;
        }
        if (!LabelShowsName(item->text(0), record.name)) {
            return at + ": label " + item->text(0).toStdString();
        }
        if (nodes.Parent(handle) != CTD_TreeView::HandleOf(item->parent())) {
            return at + ": node map parent differs";
        }
        std::vector<CNodeMap::Handle> shown;
        for (int i = 0; i < item->childCount(); ++i) {
            shown.push_back(CTD_TreeView::HandleOf(item->child(i)));
        }
        if (nodes.Children(handle) != shown) {
            return at + ": node map children differ";
        }
        if (node.children.size() != shown.size()) {
            return at + ": " + std::to_string(shown.size()) + " children, file has " +
                   std::to_string(node.children.size());
        }
        for (int i = 0; i < item->childCount(); ++i) {
            std::string error = Compare(item->child(i), node.children[i], at);
            if (!error.empty()) {
                return error;
            }
        }
        return {};
    }

    int Items() const { return m_items; }

private:
    FileTree m_file;
    std::set<int> m_ids;
    int m_items = 0;
};

std::string RenderItem(QTreeWidgetItem* item) {
    std::string out;
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        out += (i == 0 ? "" : ",") + std::string(g_pTreeView->Lookup(child).name);
        if (child->childCount() > 0) {
            out += "{" + RenderItem(child) + "}";
        }
    }
    return out;
}

std::string RenderFile(const FileTree& tree, int id) {
    std::string out;
    const std::vector<int>& children = tree.nodes.at(id).children;
    for (std::size_t i = 0; i < children.size(); ++i) {
        out += (i == 0 ? "" : ",") + tree.nodes.at(children[i]).name;
        if (!tree.nodes.at(children[i]).children.empty()) {
            out += "{" + RenderFile(tree, children[i]) + "}";
        }
    }
    return out;
}

}  // namespace

::testing::AssertionResult TreeMatchesFile(const std::string& treeFilePath) {
    if (g_pTreeView == nullptr || g_hRootItem == nullptr) {
        return ::testing::AssertionFailure() << "no tree view";
    }
    if (g_pTreeView->topLevelItemCount() != 2 ||
        g_pTreeView->topLevelItem(0) != g_pTreeView->StarredItem() ||
        g_pTreeView->topLevelItem(1) != g_hRootItem) {
        return ::testing::AssertionFailure() << "the top-level items are not 星标新闻 and the root";
    }
    FileTree file = LoadFileTree(treeFilePath);
    const int fileNodes = file.loaded + 1;
    TreeComparer comparer(std::move(file));
    const std::string error = comparer.Compare(g_hRootItem, 0, "");
    if (!error.empty()) {
        return ::testing::AssertionFailure() << error;
    }
    const auto entries = static_cast<int>(g_pTreeView->Nodes().Handles().size());
    if (comparer.Items() != fileNodes || entries != fileNodes) {
        return ::testing::AssertionFailure()
               << comparer.Items() << " items, " << entries << " node map entries, " << fileNodes
               << " nodes in the file";
    }
    return ::testing::AssertionSuccess();
}

std::string LiveOutline() {
    return g_hRootItem ? RenderItem(g_hRootItem) : std::string("<no tree>");
}

std::string FileOutline(const std::string& treeFilePath) {
    return RenderFile(LoadFileTree(treeFilePath), 0);
}

MenuAnswer::MenuAnswer(int commandId) : m_commandId(commandId) {
    connect(&m_poll, &QTimer::timeout, this, &MenuAnswer::Poll);
    m_poll.start(5);
}

void MenuAnswer::Poll() {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible()) {
        return;
    }
    m_poll.stop();
    m_answered = true;
    title = menu->title();
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions()) {
        texts << action->text();
        ids.push_back(action->data().toInt());
        if (action->data().toInt() == m_commandId) {
            chosen = action;
        }
    }
    if (chosen == nullptr) {
        menu->close();
        return;
    }
    menu->setActiveAction(chosen);
    QTest::keyClick(menu, Qt::Key_Return);
}

DialogAnswer::DialogAnswer(QString name, bool accept) : m_name(std::move(name)), m_accept(accept) {
    connect(&m_poll, &QTimer::timeout, this, &DialogAnswer::Poll);
    m_poll.start(5);
}

void DialogAnswer::Poll() {
    auto* dialog = qobject_cast<CNameDlg*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) {
        return;
    }
    m_poll.stop();
    m_answered = true;
    caption = dialog->windowTitle();
    initialText = dialog->Edit()->text();
    selectedText = dialog->Edit()->selectedText();
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == QString::fromUtf8("确定")) {
            ok = button;
        } else if (button->text() == QString::fromUtf8("取消")) {
            cancel = button;
        }
    }
    okIsDefault = ok != nullptr && ok->isDefault();
    dialog->Edit()->setText(m_name);
    QPushButton* pressed = m_accept ? ok : cancel;
    if (pressed != nullptr) {
        pressed->click();
    }
    closed = !dialog->isVisible();
    if (!closed) {
        refusal = dialog->Message()->text();
        dialog->reject();
    }
}
