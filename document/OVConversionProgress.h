#pragma once

#include "platform/textformats/LibreOffice.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;

// While LibreOffice converts a Word 97 document, the windows keep answering and, after a moment, a
// small window says what is happening and offers Cancel. Without a window system (tests, the
// companions) only the events are processed.
class OVConversionProgress {
public:
    explicit OVConversionProgress(QString label);
    ~OVConversionProgress();
    OVConversionProgress(const OVConversionProgress&) = delete;
    OVConversionProgress& operator=(const OVConversionProgress&) = delete;

    LibreOffice::Progress progress();

    // The delay before the window shows; short conversions never show it.
    static constexpr int kDelayMilliseconds = 700;

private:
    void wait();

    QString m_label;
    QElapsedTimer m_elapsed;
    QPointer<QProgressDialog> m_dialog;
    bool m_cancelled = false;
};
