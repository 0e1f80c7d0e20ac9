#include "app/print_commands.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>

#include "views/browser_pane.h"

CPrintCommands::CPrintCommands(QWidget& window, CBrowserPane& page)
    : QObject(&window), m_window(window), m_page(page) {}

void CPrintCommands::Print() {
    QPrintDialog dialog(&m_printer, &m_window);
    if (dialog.exec() == QDialog::Accepted) {
        m_page.Print(&m_printer);
    }
}

void CPrintCommands::PrintPreview() {
    QPrintPreviewDialog preview(&m_printer, &m_window);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { m_page.Print(printer); });
    preview.exec();
}

void CPrintCommands::PrintSetup() {
    QPageSetupDialog dialog(&m_printer, &m_window);
    dialog.exec();
}
