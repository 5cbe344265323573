#pragma once

#include "platform/hvkit/pdf/HVPDFMetadata.h"
#include "platform/hvkit/pdf/HVPDFOutlineItem.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <optional>
#include <vector>

class Error;
class OVDocument;
class OVDocumentWindowController;
class OVPrompterView;
class TextView;

// Export as PDF: the script as Prompt mode shows it, continuous or in pages, with its named
// bookmarks as the PDF's outline, the document's properties as its information, and two notes with
// the prompter settings used and the script's plain text.
class OVDocumentPDFExport {
public:
    static constexpr double kPDFPageHeight = 900.0;
    static constexpr qint64 kFailedExportErrorCode = -100;

    // "exportAsPDF:": asks where, on a sheet of the document's window, and writes the file in one
    // atomic step. Failures are logged and shown; the document is never changed.
    static void exportAsPDF(OVDocument& document, OVDocumentWindowController& controller);
    // Renders the script of controller's prompter in a temporary Prompt-mode environment and writes
    // it to url; false with error set when that fails.
    static bool exportPDFToURL(OVDocument& document, OVDocumentWindowController& controller, const QUrl& url,
                               Error* error);

    // The finished PDF for a prompter view laid out for Prompt mode; nothing when it cannot be made.
    static std::optional<QByteArray> exportablePDFDataFromPrompterView(const QVariantMap& metadataInfo,
                                                                       OVPrompterView& prompterView);
    // The settings note; nothing when it comes out empty.
    static std::optional<QString>
    prompterExportConfigurationForPrompterView(const OVPrompterView& prompterView,
                                               bool includingContentModification);

    // Author, subject and keywords of a document's properties, where they hold text.
    static HVPDFMetadata metadataForMetadataInfo(const QVariantMap& metadataInfo);
    // One item per named bookmark of the text view, in text order, at its line (flipped view
    // coordinates).
    static std::vector<HVPDFOutlineItem> outlineItemsForTextView(TextView& textView);
    static QString combinedAppNameAndVersion();
    static QString combinedAppNameAndMajorRelease();
    static Error failedExportError();
};
