#pragma once

#include <QObject>

#include "store/app_settings.h"

class CMainFrame;
class CBrowserPane;

// 放大, 缩小 and 实际大小 of the page pane: Ctrl+= (or Ctrl++), Ctrl+- and Ctrl+0 anywhere in
// the window. The zoom moves in the steps of kSteps; a step is shown in the status bar and
// saved at once (kZoomSetting), so that the pages of the next start are shown at it.
//
// Window thread only.
class CZoomCommands : public QObject {
    Q_OBJECT
public:
    // Both outlive this object (the frame owns it).
    CZoomCommands(CMainFrame& frame, CBrowserPane& page);

    // Shows the pages at the saved zoom (once the settings have been read).
    void ShowSetting();

    void ZoomIn();
    void ZoomOut();
    void ResetZoom();
    int Percent() const;

    static constexpr CAppSettings::IntKey kZoomSetting{"page.zoom_percent", 100, 25, 500};
    static constexpr int kSteps[] = {25,  33,  50,  67,  75,  80,  90,  100, 110,
                                     125, 150, 175, 200, 250, 300, 400, 500};

private:
    void SetPercent(int percent);

    CMainFrame& m_frame;
    CBrowserPane& m_page;
};
