#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class QKeyEvent;
class QWindow;

// The state of the three lock keys.
struct LockStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
    bool operator==(const LockStates&) const = default;
};

// The lock keys' state for the status bar's CAP, NUM and SCRL indicators. Where the system
// shows the keyboard's lights (/sys/class/leds) they are read, now and every second. Otherwise
// the key events of the watched window tell: on X11 every key event carries the Caps and Num
// Lock state; elsewhere, and for Scroll Lock, each release of a lock key switches its state.
// Window thread only.
class CLockIndicators : public QObject {
    Q_OBJECT
public:
    // `ledFolder` is where the keyboard's lights are looked for.
    explicit CLockIndicators(QObject* parent = nullptr,
                             QString ledFolder = QStringLiteral("/sys/class/leds"));

    // Follows the key events of `window` (the main window, once it exists).
    void Watch(QWindow* window);
    LockStates States() const { return m_states; }

signals:
    void Changed(const LockStates& states);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The lights' state, or nothing when the system shows no lock light.
    std::optional<LockStates> ReadLights() const;
    void ReadKey(const QKeyEvent& key);
    void Update(const LockStates& states);

    QString m_ledFolder;
    bool m_hasLights = false;
    LockStates m_states;
    QTimer m_poll;
    QWindow* m_watched = nullptr;
};
