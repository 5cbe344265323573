#pragma once

// Collects what is logged through Qt's message handler while it lives, so tests can state the
// exact lines a reader logs.
#include <QString>
#include <QStringList>
#include <QtGlobal>

class LogCapture {
public:
    LogCapture() : m_previous(qInstallMessageHandler(&LogCapture::handle)) { current() = this; }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        current() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const QStringList& lines() const { return m_lines; }
    bool contains(const QString& line) const { return m_lines.contains(line); }
    void clear() { m_lines.clear(); }

private:
    static LogCapture*& current()
    {
        static LogCapture* capture = nullptr;
        return capture;
    }
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        if (current())
            current()->m_lines.append(message);
    }

    QtMessageHandler m_previous;
    QStringList m_lines;
};
