#pragma once

#include <QObject>
#include <QPrinter>

class CBrowserPane;
class QWidget;

// 打印, 打印预览 and 打印设置 of the 文件 menu: they print the browser pane's page with the
// one printer set-up the window keeps while it runs.
//
// Window thread only.
class CPrintCommands : public QObject {
    Q_OBJECT
public:
    CPrintCommands(QWidget& window, CBrowserPane& page);

    void Print();
    void PrintPreview();
    void PrintSetup();

private:
    QWidget& m_window;
    CBrowserPane& m_page;
    QPrinter m_printer;
};
