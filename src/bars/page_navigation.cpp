#include "bars/page_navigation.h"

#include <QString>

#include "app/main_frame.h"
#include "app/quillon_doc.h"
#include "views/html_view.h"

void OpenInBrowserPane(const std::string& address) {
    if (g_pHtmlView) {
        g_pHtmlView->Navigate2(QString::fromStdString(address));
    }
    if (g_pMainFrame) {
        g_pMainFrame->ResetPaneSizes(CMainFrame::kPageLayout);
    }
}

void ShowListMode(int mode) {
    if (g_pMainFrame) {
        g_pMainFrame->SwitchListPane(mode);
        g_pMainFrame->ResetPaneSizes(CMainFrame::kListLayout);
    }
    if (g_pDocument) {
        g_pDocument->UpdateAllViews();
    }
}
