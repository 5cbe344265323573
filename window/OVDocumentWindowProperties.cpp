#include "window/OVDocumentWindowController.h"

#include "document/OVDocument.h"
#include "document/OVDocumentPropertiesWindowController.h"
#include "platform/appkit/Window.h"
#include "platform/hvkit/HVAppServices.h"
#include "text/OVTextView.h"

#include <QCoreApplication>
#include <QMetaObject>

void OVDocumentWindowController::installPropertiesActions()
{
    setActionHandler(QStringLiteral("orderFrontPropertiesWindow:"),
                     [this](const QVariant&) { orderFrontPropertiesWindow(); });
}

void OVDocumentWindowController::orderFrontPropertiesWindow()
{
    auto* document = dynamic_cast<OVDocument*>(this->document());
    if (!document || m_documentPropertiesWindowController)
        return;
    const TextView* text = textView();
    std::shared_ptr<OVDocumentPropertiesWindowController> sheet =
        OVDocumentPropertiesWindowController::propertiesWindowControllerWithDocumentProperties(
            document->documentProperties(), text && text->isEditable());
    m_documentPropertiesWindowController = sheet;
    QWidget* parent = isWindowLoaded() && window() ? window()->hostWidget() : nullptr;
    // The controller owns the sheet: the sheet's own callback only observes it, and a controller gone
    // with its window leaves nothing behind to call.
    std::weak_ptr<OVDocumentPropertiesWindowController> weak = sheet;
    sheet->beginSheet(parent, [this, weak](int code) {
        const auto sheet = weak.lock();
        if (!sheet)
            return;
        if (code == 1 && sheet->didDocumentPropertiesChange() && sheet->replacementDocumentProperties()) {
            HVAppServices::shared().analytics().incrementIntegerForKeyPath(
                QStringLiteral("documents.propertyEdits"), 1);
            if (auto* document = dynamic_cast<OVDocument*>(this->document()))
                document->setDocumentProperties(*sheet->replacementDocumentProperties());
        }
        // The sheet is still inside its own button's signal: it goes once that returns.
        QMetaObject::invokeMethod(
            qApp,
            [this, weak] {
                const auto sheet = weak.lock();
                if (sheet && m_documentPropertiesWindowController == sheet)
                    m_documentPropertiesWindowController.reset();
            },
            Qt::QueuedConnection);
    });
}
