#pragma once

#include <QObject>

// The program's one document. It holds no data: it only tells the views to repaint, and
// tells whoever listens that the settings record was changed.
class CQuillonDoc : public QObject {
    Q_OBJECT
public:
    explicit CQuillonDoc(QObject* parent = nullptr);
    ~CQuillonDoc() override;

    // Asks every view to repaint itself.
    void UpdateAllViews();
    // The settings dialogs changed the retention days or a colour: emits SettingsChanged,
    // then asks the views to repaint.
    void NotifySettingsChanged();

signals:
    void ViewsUpdateRequested();
    // The retention days or a category colour changed (window thread).
    void SettingsChanged();
};

// The one document, or null before it exists.
extern CQuillonDoc* g_pDocument;
