#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

// Which test the answers belong to: an answer still polling when its test ends must not
// answer a dialog of a later test (in a shuffled run that was the later test's own box).
inline int& ModalAnswerRound() {
    static int round = 0;
    return round;
}

// Drops every answer still waiting; the test runner calls it after each test.
inline void ForgetPendingModalAnswers() {
    ++ModalAnswerRound();
}

// Answers the next modal dialog of type T: `answer` runs inside the dialog's own event loop
// once the dialog is the active modal widget. It polls without blocking, so that answers to
// dialogs opened one after another, or one inside another, never wait for each other.
template <typename T>
void AnswerNextModalInRound(std::function<void(T*)> answer, int attemptsLeft, int round) {
    QTimer::singleShot(10, [answer, attemptsLeft, round] {
        if (round != ModalAnswerRound()) {
            return;
        }
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            answer(modal);
        } else if (attemptsLeft > 0) {
            AnswerNextModalInRound<T>(answer, attemptsLeft - 1, round);
        }
    });
}

template <typename T>
void AnswerNextModal(std::function<void(T*)> answer, int attemptsLeft = 500) {
    AnswerNextModalInRound<T>(answer, attemptsLeft, ModalAnswerRound());
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
