#include "document/OVDocumentExportPreviewWindowController.h"

#include "platform/appkit/FloatingWindows.h"
#include "platform/text/AttributedString.h"
#include "platform/textformats/HtmlWriter.h"

#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

OVDocumentExportPreviewWindowController::OVDocumentExportPreviewWindowController()
    : m_window(std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowTitleHint |
                                                      Qt::WindowCloseButtonHint |
                                                      Qt::WindowMinimizeButtonHint))
{
    m_window->setWindowTitle(QStringLiteral("Export Preview"));
    m_window->setObjectName(QStringLiteral("DocumentExportPreview"));
    m_window->resize(480, 560);
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    m_textView = new QTextEdit;
    m_textView->setReadOnly(true);
    m_textView->setLineWrapMode(QTextEdit::WidgetWidth);
    m_textView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_textView);
}

OVDocumentExportPreviewWindowController::~OVDocumentExportPreviewWindowController() = default;

std::unique_ptr<OVDocumentExportPreviewWindowController>
OVDocumentExportPreviewWindowController::windowController()
{
    return std::unique_ptr<OVDocumentExportPreviewWindowController>(
        new OVDocumentExportPreviewWindowController);
}

std::unique_ptr<OVDocumentExportPreviewWindowController>
OVDocumentExportPreviewWindowController::windowControllerWithAttributedString(const AttributedString& text,
                                                                              const Color& backgroundColor)
{
    auto controller = windowController();
    controller->setContent(text, backgroundColor);
    return controller;
}

void OVDocumentExportPreviewWindowController::setContent(const AttributedString& text,
                                                         const Color& backgroundColor)
{
    if (!m_textView)
        return;
    // Shown through our own HTML of the text the format gave back: what the view draws is that text.
    m_textView->setHtml(QString::fromUtf8(HtmlWriter::write(text, {})));
    QPalette palette = m_textView->palette();
    palette.setColor(QPalette::Base,
                     QColor::fromRgbF(float(backgroundColor.red), float(backgroundColor.green),
                                      float(backgroundColor.blue), float(backgroundColor.alpha)));
    m_textView->setPalette(palette);
    m_textView->viewport()->setAutoFillBackground(true);
}

void OVDocumentExportPreviewWindowController::showWindow()
{
    FloatingWindows::openAbove(*m_window);
    m_window->show();
    m_window->raise();
}

void OVDocumentExportPreviewWindowController::close()
{
    m_window->hide();
}

bool OVDocumentExportPreviewWindowController::isWindowVisible() const
{
    return m_window->isVisible();
}
