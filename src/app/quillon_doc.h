#pragma once

#include <QObject>

// The program's one document. It holds no data: it only tells the views to repaint.
class CQuillonDoc : public QObject {
    Q_OBJECT
public:
    explicit CQuillonDoc(QObject* parent = nullptr);
    ~CQuillonDoc() override;

    // Asks every view to repaint itself.
    void UpdateAllViews();

signals:
    void ViewsUpdateRequested();
};

// The one document, or null before it exists.
extern CQuillonDoc* g_pDocument;
