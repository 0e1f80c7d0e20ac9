#pragma once

#include <QApplication>
#include <QContextMenuEvent>
#include <functional>
#include <memory>
#include <string>

#include "reader_window.h"
#include "tree_checks.h"
#include "views/tree_commands.h"
#include "views/tree_drag.h"

// The reader's window with helpers that edit the tree as a user does: through the context
// menus, the name dialogs and drags with the mouse.
class TreeEditing : public ReaderWindow {
protected:
    std::string TreePath() const { return m_folder.File("document/keywordlist.xml"); }
    ::testing::AssertionResult Consistent() const { return TreeMatchesFile(TreePath()); }

    // Right-clicks `item` and chooses `commandId` from the menu that opens (no id: closes
    // it); `dialog`, when given, answers the name dialog the command opens. Returns once
    // the command has run.
    static std::unique_ptr<MenuAnswer> Command(QTreeWidgetItem* item, int commandId,
                                               DialogAnswer* dialog = nullptr) {
        auto menu = std::make_unique<MenuAnswer>(commandId);
        RightClickAt(PointOn(item));
        EXPECT_TRUE(menu->Answered());
        if (dialog != nullptr) {
            EXPECT_TRUE(dialog->Answered());
        }
        return menu;
    }

    static void RightClickAt(const QPoint& pos) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos,
                                Tree()->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(Tree()->viewport(), &event);
    }

    // The middle of the item's row, scrolled into view.
    static QPoint PointOn(QTreeWidgetItem* item) {
        Tree()->scrollToItem(item);
        return Tree()->visualItemRect(item).center();
    }

    // Presses the left button on `item`, moves past the drag distance, then to each point
    // `path` gives (asked for after the drag began, when the dragged branch has collapsed),
    // and releases at the last one.
    static void Drag(QTreeWidgetItem* item, const std::vector<std::function<QPoint()>>& path) {
        QWidget* viewport = Tree()->viewport();
        const QPoint start = PointOn(item);
        QTest::mousePress(viewport, Qt::LeftButton, {}, start);
        QTest::mouseMove(viewport, start + QPoint(QApplication::startDragDistance() + 1, 0));
        EXPECT_TRUE(Tree()->Dragger().IsDragging());
        QPoint last = start;
        for (const auto& next : path) {
            last = next();
            QTest::mouseMove(viewport, last);
        }
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, last);
        EXPECT_FALSE(Tree()->Dragger().IsDragging());
    }

    // Drags `item` onto `target`.
    static void DragOnto(QTreeWidgetItem* item, QTreeWidgetItem* target) {
        Drag(item, {[target] { return PointOn(target); }});
    }
};
