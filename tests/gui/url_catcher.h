#pragma once

#include <QObject>
#include <QUrl>
#include <mutex>

// Receives the addresses the program hands to the desktop's browser (a URL handler).
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    int Count() const {
        std::lock_guard lock(m_mutex);
        return m_count;
    }
    QUrl Last() const {
        std::lock_guard lock(m_mutex);
        return m_last;
    }

public slots:
    void Open(const QUrl& url) {
        std::lock_guard lock(m_mutex);
        m_last = url;
        ++m_count;
    }

private:
    mutable std::mutex m_mutex;
    QUrl m_last;
    int m_count = 0;
};
