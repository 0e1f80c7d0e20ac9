#include "app/lock_indicators.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>

namespace {

// The X11 modifier bits of Caps Lock (Lock) and, on nearly every keyboard map, Num Lock (Mod2).
constexpr quint32 kX11LockMask = 0x02;
constexpr quint32 kX11Mod2Mask = 0x10;

constexpr int kPollMilliseconds = 1000;

bool IsLockKey(int key) {
    return key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock;
}

}  // namespace

CLockIndicators::CLockIndicators(QObject* parent, QString ledFolder)
    : QObject(parent), m_ledFolder(std::move(ledFolder)) {
    if (const std::optional<LockStates> lights = ReadLights()) {
        m_hasLights = true;
        m_states = *lights;
        connect(&m_poll, &QTimer::timeout, this,
                [this] { Update(ReadLights().value_or(m_states)); });
        m_poll.start(kPollMilliseconds);
    }
}

void CLockIndicators::Watch(QWindow* window) {
    if (window == nullptr || window == m_watched) {
        return;
    }
    if (m_watched != nullptr) {
        m_watched->removeEventFilter(this);
    }
    m_watched = window;
    window->installEventFilter(this);
}

std::optional<LockStates> CLockIndicators::ReadLights() const {
    const QDir folder(m_ledFolder);
    if (!folder.exists()) {
        return std::nullopt;
    }
    LockStates states;
    bool any = false;
    const std::pair<const char*, bool LockStates::*> lights[] = {
        {"capslock", &LockStates::caps},
        {"numlock", &LockStates::num},
        {"scrolllock", &LockStates::scroll},
    };
    for (const QString& name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const auto& [suffix, field] : lights) {
            if (!name.endsWith(QStringLiteral("::") + QLatin1String(suffix))) {
                continue;
            }
            QFile brightness(folder.filePath(name + QStringLiteral("/brightness")));
            if (brightness.open(QIODevice::ReadOnly)) {
                any = true;
                states.*field = states.*field || brightness.readAll().trimmed().toInt() > 0;
            }
        }
    }
    return any ? std::optional<LockStates>(states) : std::nullopt;
}

bool CLockIndicators::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        ReadKey(*static_cast<QKeyEvent*>(event));
    }
    return QObject::eventFilter(watched, event);
}

void CLockIndicators::ReadKey(const QKeyEvent& key) {
    if (m_hasLights) {
        // The light follows the key a moment later.
        if (IsLockKey(key.key())) {
            QTimer::singleShot(50, this, [this] { Update(ReadLights().value_or(m_states)); });
        }
        return;
    }
    LockStates states = m_states;
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    if (x11) {
        // The state before this event; a lock key's release already shows its new state.
        states.caps = (key.nativeModifiers() & kX11LockMask) != 0;
        states.num = (key.nativeModifiers() & kX11Mod2Mask) != 0;
    }
    if (key.type() == QEvent::KeyRelease && !key.isAutoRepeat()) {
        if (key.key() == Qt::Key_ScrollLock) {
            states.scroll = !states.scroll;
        } else if (!x11 && key.key() == Qt::Key_CapsLock) {
            states.caps = !states.caps;
        } else if (!x11 && key.key() == Qt::Key_NumLock) {
            states.num = !states.num;
        }
    }
    Update(states);
}

void CLockIndicators::Update(const LockStates& states) {
    if (states == m_states) {
        return;
    }
    m_states = states;
    emit Changed(m_states);
}
