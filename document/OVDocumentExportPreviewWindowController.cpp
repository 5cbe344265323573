#include "document/OVDocumentExportPreviewWindowController.h"

#include "platform/appkit/FloatingWindows.h"
#include "platform/appkit/WindowCloseKeys.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributedString.h"
#include "platform/text/TextAttachment.h"
#include "platform/textformats/HtmlWriter.h"

#include <QImage>
#include <QScreen>
#include <QTextDocument>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <algorithm>

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
    closeWithStandardKeys(*m_window);
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
    // Shown through our own HTML of the text the format gave back: what the view draws is that text,
    // with the pictures the format kept drawn from their files.
    QTextDocument* document = m_textView->document();
    document->clear();
    int pictures = 0;
    const QByteArray html = HtmlWriter::write(text, {}, [&](const TextAttachment& attachment) -> QString {
        const std::shared_ptr<FileWrapper>& wrapper = attachment.fileWrapper();
        if (!wrapper || !wrapper->isRegularFile())
            return {};
        QImage image = QImage::fromData(wrapper->regularFileContents());
        if (image.isNull())
            return {};
        // At the size the text gives it, within what a preview window can show.
        if (const QSizeF size = attachment.bounds().size();
            size.width() > 0 && size.height() > 0 && size.width() <= 8192 && size.height() <= 8192)
            image = image.scaled(size.toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QString name = QStringLiteral("orvane-preview-picture-%1").arg(++pictures);
        document->addResource(QTextDocument::ImageResource, QUrl(name), image);
        return name;
    });
    document->setHtml(QString::fromUtf8(html));
    QPalette palette = m_textView->palette();
    palette.setColor(QPalette::Base,
                     QColor::fromRgbF(float(backgroundColor.red), float(backgroundColor.green),
                                      float(backgroundColor.blue), float(backgroundColor.alpha)));
    m_textView->setPalette(palette);
    m_textView->viewport()->setAutoFillBackground(true);
}

void OVDocumentExportPreviewWindowController::showWindow(QWidget* owner)
{
    FloatingWindows::openAbove(*m_window);
    if (owner && owner->isVisible() && owner->windowHandle()) {
        m_window->winId();
        if (QWindow* handle = m_window->windowHandle())
            handle->setTransientParent(owner->windowHandle());
        QRect frame(QPoint(), m_window->size());
        frame.moveCenter(owner->frameGeometry().center());
        if (const QScreen* screen = owner->screen()) {
            const QRect visible = screen->availableGeometry();
            frame.moveLeft(std::clamp(frame.left(), visible.left(),
                                      std::max(visible.left(), visible.right() - frame.width())));
            frame.moveTop(std::clamp(frame.top(), visible.top(),
                                     std::max(visible.top(), visible.bottom() - frame.height())));
        }
        m_window->move(frame.topLeft());
    }
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
