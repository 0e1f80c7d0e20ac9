#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

// Answers the next modal dialog of type T: `answer` runs inside the dialog's own event loop
// once the dialog is the active modal widget. It polls without blocking, so that answers to
// dialogs opened one after another, or one inside another, never wait for each other.
template <typename T>
void AnswerNextModal(std::function<void(T*)> answer, int attemptsLeft = 500) {
    QTimer::singleShot(10, [answer, attemptsLeft] {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            answer(modal);
        } else if (attemptsLeft > 0) {
            AnswerNextModal<T>(answer, attemptsLeft - 1);
        }
    });
}

// The text of the message box that is open, or an empty text.
inline QString OpenMessageBoxText() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            return box->text();
        }
    }
    return {};
}
