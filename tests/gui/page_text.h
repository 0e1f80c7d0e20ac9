#pragma once

#include <gtest/gtest.h>
#include <QTest>
#include <QWebEnginePage>

#include "app/main_frame.h"
#include "views/browser_pane.h"
#include "views/html_view.h"

// The browser pane's engine view, made now if the pane has shown only its start page so far.
inline CTD_HtmlView* HtmlView() {
    return g_pMainFrame->BrowserPane()->View();
}

// The browser pane's page as text, and as HTML, once the page has answered.
inline QString PageText() {
    QString text;
    bool done = false;
    HtmlView()->page()->toPlainText([&](const QString& result) {
        text = result;
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    return text;
}

inline QString PageHtml() {
    QString html;
    bool done = false;
    HtmlView()->page()->toHtml([&](const QString& result) {
        html = result;
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    return html;
}
