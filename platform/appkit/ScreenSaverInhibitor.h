#pragma once

#include <QString>

// Keeps the display awake while prompting: asks the desktop's screensaver service on the session bus
// to hold off. Without a session bus or the service it logs once and does nothing.
class ScreenSaverInhibitor {
public:
    explicit ScreenSaverInhibitor(QString applicationName);
    ScreenSaverInhibitor(const ScreenSaverInhibitor&) = delete;
    ScreenSaverInhibitor& operator=(const ScreenSaverInhibitor&) = delete;
    // Releases a held inhibition.
    ~ScreenSaverInhibitor();

    // True when the service granted the inhibition (or it was already held).
    bool inhibit(const QString& reason);
    void uninhibit();
    bool isInhibiting() const { return m_inhibiting; }

private:
    QString m_applicationName;
    quint32 m_cookie = 0;
    bool m_inhibiting = false;
};
