#include "app/quillon_doc.h"

CQuillonDoc* g_pDocument = nullptr;

CQuillonDoc::CQuillonDoc(QObject* parent) : QObject(parent) {
    g_pDocument = this;
}

CQuillonDoc::~CQuillonDoc() {
    if (g_pDocument == this) {
        g_pDocument = nullptr;
    }
}

void CQuillonDoc::UpdateAllViews() {
    emit ViewsUpdateRequested();
}

void CQuillonDoc::NotifySettingsChanged() {
    emit SettingsChanged();
    UpdateAllViews();
}
