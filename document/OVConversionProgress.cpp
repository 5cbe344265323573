#include "document/OVConversionProgress.h"

#include <QApplication>
#include <QProgressDialog>

OVConversionProgress::OVConversionProgress(QString label) : m_label(std::move(label))
{
    m_elapsed.start();
}

OVConversionProgress::~OVConversionProgress()
{
    delete m_dialog.data();
}

LibreOffice::Progress OVConversionProgress::progress()
{
    LibreOffice::Progress progress;
    progress.wait = [this] { wait(); };
    progress.cancelled = [this] { return m_cancelled || (m_dialog && m_dialog->wasCanceled()); };
    return progress;
}

void OVConversionProgress::wait()
{
    if (!m_dialog && m_elapsed.elapsed() >= kDelayMilliseconds &&
        qobject_cast<QApplication*>(QCoreApplication::instance())) {
        m_dialog = new QProgressDialog(m_label, QStringLiteral("Cancel"), 0, 0);
        m_dialog->setWindowTitle(QStringLiteral("Converting"));
        m_dialog->setMinimumDuration(0);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->show();
    }
    // Input goes to the progress window only: the document must not change under the conversion.
    QCoreApplication::processEvents(m_dialog ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents,
                                    20);
}
