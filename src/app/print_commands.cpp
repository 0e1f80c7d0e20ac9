#include "app/print_commands.h"

#include <QEventLoop>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>

#include "views/html_view.h"

CPrintCommands::CPrintCommands(QWidget& window, CTD_HtmlView& page)
    : QObject(&window), m_window(window), m_page(page) {}

void CPrintCommands::Print() {
    QPrintDialog dialog(&m_printer, &m_window);
    if (dialog.exec() == QDialog::Accepted) {
        m_page.print(&m_printer);
    }
}

void CPrintCommands::PrintPreview() {
    QPrintPreviewDialog preview(&m_printer, &m_window);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) {
        // The pane prints asynchronously; the preview wants its pages now.
        QEventLoop loop;
        connect(&m_page, &QWebEngineView::printFinished, &loop, &QEventLoop::quit);
        m_page.print(printer);
        loop.exec();
    });
    preview.exec();
}

void CPrintCommands::PrintSetup() {
    QPageSetupDialog dialog(&m_printer, &m_window);
    dialog.exec();
}
