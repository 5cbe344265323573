// The document window's Export as PDF and Print actions.

#include "document/OVDocument.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/text/TextAttachment.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVTextView.h"
#include "window/OVDocumentPDFExport.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVPrintSheet.h"

#include <QPrinter>

namespace {

// How many bookmark characters stand before index: the printed text has none.
qsizetype bookmarksBefore(const AttributedString& text, qsizetype index)
{
    qsizetype count = 0;
    text.enumerateAttribute(kAttachmentAttributeName, Range{0, std::min(index, text.length())}, 0,
                            [&count](const AttributeValue& value, const Range& range, bool&) {
                                const std::shared_ptr<TextAttachment> attachment = value.attachment();
                                if (attachment &&
                                    NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment))
                                    count += range.length;
                            });
    return count;
}

} // namespace

void OVDocumentWindowController::installPDFAndPrintActions()
{
    setActionHandler(QStringLiteral("exportAsPDF:"), [this](const QVariant&) {
        if (auto* document = dynamic_cast<OVDocument*>(this->document()))
            OVDocumentPDFExport::exportAsPDF(*document, *this);
    });
    setActionHandler(QStringLiteral("printDocument:"), [this](const QVariant&) {
        std::unique_ptr<OVTextView> printable = printableTextView();
        if (!printable) {
            qWarning("Error: printableTextView is nil");
            return;
        }
        std::optional<Range> selection;
        if (TextView* editor = textView(); editor && editor->selectedRange().length > 0) {
            const Range selected = editor->selectedRange();
            const qsizetype start =
                selected.location - bookmarksBefore(editor->textStorage(), selected.location);
            const qsizetype end = selected.location + selected.length -
                                  bookmarksBefore(editor->textStorage(), selected.location + selected.length);
            if (end > start)
                selection = Range{start, end - start};
        }
        const QString title = this->document() ? this->document()->displayName() : QString();
        OVPrintSheet sheet(std::move(printable), title, selection);
        auto* script = dynamic_cast<OVDocument*>(this->document());
        if (script && script->printInfo())
            OVPrintSheet::applyPrintSettings(sheet.printer(), script->printInfo()->pageLayout,
                                             script->printInfo()->printerName);
        if (sheet.runModalForWindow(isWindowLoaded() ? window() : nullptr)) {
            // What the user chose for this print is the document's from now on, as Page Setup's is.
            if (script)
                script->setPrintInfo({sheet.printer().pageLayout(), sheet.printer().printerName()});
            HVAppServices::shared().analytics().incrementIntegerForKeyPath(
                QStringLiteral("documents.printedDocuments"));
        }
    });
    // Paper, orientation and margins for this document alone; the next print starts from them.
    setActionHandler(QStringLiteral("runPageLayout:"), [this](const QVariant&) {
        auto* script = dynamic_cast<OVDocument*>(this->document());
        if (!script)
            return;
        QPrinter printer(QPrinter::HighResolution);
        if (const auto& info = script->printInfo())
            OVPrintSheet::applyPrintSettings(printer, info->pageLayout, info->printerName);
        if (OVPrintSheet::runPageLayout(printer, isWindowLoaded() ? window() : nullptr))
            script->setPrintInfo({printer.pageLayout(), printer.printerName()});
    });
}
