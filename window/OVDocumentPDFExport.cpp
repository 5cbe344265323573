#include "window/OVDocumentPDFExport.h"

#include "document/OVDocument.h"
#include "document/OVDocumentExportPDFAccessoryViewController.h"
#include "output/OVEnvironment.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/StagingItem.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVVersion.h"
#include "platform/hvkit/NSErrorHVAdditions.h"
#include "platform/hvkit/pdf/HVPDFAnnotation.h"
#include "platform/hvkit/pdf/HVPDFUtilities.h"
#include "platform/hvkit/pdf/NSViewHVPDFAdditions.h"
#include "platform/text/TextAttachment.h"
#include "platform/textlayout/LayoutManager.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVPrompterView.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "text/OVTextView.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSaveFile>

#include <cmath>
#include <memory>

namespace {

const QString kPDFType = QStringLiteral("com.adobe.pdf");
const QChar kObjectReplacementCharacter = QChar(0xFFFC);

// Whole numbers without decimals, others with as many as they need (up to three).
QString formattedNumber(double value)
{
    const QLocale locale;
    if (!std::isfinite(value))
        return locale.toString(0);
    if (std::abs(value - std::round(value)) < 1e-9)
        return locale.toString(qint64(std::llround(value)));
    QString text = locale.toString(value, 'f', 3);
    while (text.endsWith(u'0'))
        text.chop(1);
    return text;
}

QString formattedPercentage(double fraction)
{
    const QLocale locale;
    const double percent = std::isfinite(fraction) ? std::round(fraction * 100.0) : 0.0;
    return locale.toString(qint64(percent)) + locale.percent();
}

QString formattedTenths(double value)
{
    return QLocale().toString(std::isfinite(value) ? value : 0.0, 'f', 1);
}

QString arrowSizeName(qint64 size)
{
    switch (size) {
    case 0:
        return QStringLiteral(" Size = Smallest");
    case 1:
        return QStringLiteral(" Size = Small");
    case 2:
        return QStringLiteral(" Size = Medium");
    case 3:
        return QStringLiteral(" Size = Large");
    case 4:
        return QStringLiteral(" Size = Largest");
    default:
        return QStringLiteral(" Size = Unknown");
    }
}

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

// The longest text whose layouts are all kept while its pages are drawn: they take about 50 MB for
// each million characters.
constexpr qsizetype kPDFKeptLayoutCharacters = 2 << 20;

// The system yellow of notes.
const QColor kNoteColor = QColor::fromRgbF(1.0f, 0.8f, 0.0f);

} // namespace

QString OVDocumentPDFExport::combinedAppNameAndVersion()
{
    return QCoreApplication::applicationName() + u' ' + HVVersion::appVersion().stringValue();
}

QString OVDocumentPDFExport::combinedAppNameAndMajorRelease()
{
    return QCoreApplication::applicationName() + u' ' +
           QString::number(HVVersion::appVersion().majorVersion());
}

Error OVDocumentPDFExport::failedExportError()
{
    QVariantMap info;
    info.insert(kLocalizedDescriptionKey,
                localized("document-error-title-failed-export-as-pdf", "Could not export the PDF."));
    info.insert(kLocalizedFailureReasonErrorKey, localized("document-error-description-failed-export-as-pdf",
                                                           "Failed to generate file data."));
    return Error(kHVErrorDomain, kFailedExportErrorCode, info);
}

std::optional<QString>
OVDocumentPDFExport::prompterExportConfigurationForPrompterView(const OVPrompterView& prompterView,
                                                                bool includingContentModification)
{
    const UserDefaults& defaults = UserDefaults::shared();
    QStringList lines;
    lines << QStringLiteral("Prompter Settings:") << QString();
    const Window* window = prompterView.window();
    const Size size = window ? window->frame().size : prompterView.frame().size;
    lines << QStringLiteral("Prompter Size = ") + formattedNumber(size.width) + QStringLiteral(" \u00D7 ") +
                 formattedNumber(size.height);
    const PlistValue settings = defaults.objectForKey(QStringLiteral("focusArrowSettings"));
    const PlistValue* arrowSize =
        settings.isDictionary() ? settings.dictionary().find(QStringLiteral("arrowSize")) : nullptr;
    if (!defaults.boolForKey(QStringLiteral("useFocusArrow")) || !arrowSize || !arrowSize->isNumber())
        lines << QStringLiteral("Focus Arrow = Off");
    else
        lines << QStringLiteral("Focus Arrow") + arrowSizeName(arrowSize->isInteger()
                                                                   ? arrowSize->integer()
                                                                   : qint64(arrowSize->toDouble()));
    lines << QStringLiteral("Margin Width = ") +
                 formattedPercentage(defaults.doubleForKey(QStringLiteral("horizontalMarginPercentage")));
    if (includingContentModification && defaults.boolForKey(QStringLiteral("enableTalentContentAdjustments")))
        lines << QStringLiteral("Text Scale = ") +
                     formattedTenths(
                         defaults.doubleForKey(QStringLiteral("contentTextMagnificationFactor"))) +
                     QStringLiteral("x");
    const QString text = lines.join(u'\n').trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

HVPDFMetadata OVDocumentPDFExport::metadataForMetadataInfo(const QVariantMap& metadataInfo)
{
    HVPDFMetadata metadata;
    auto nonEmptyString = [&metadataInfo](const char* key) {
        const QVariant value = metadataInfo.value(QString::fromLatin1(key));
        return value.typeId() == QMetaType::QString ? value.toString() : QString();
    };
    metadata.author = nonEmptyString("author");
    metadata.subject = nonEmptyString("subject");
    const QVariant keywords = metadataInfo.value(QStringLiteral("keywords"));
    if (keywords.typeId() == QMetaType::QString) {
        if (!keywords.toString().isEmpty())
            metadata.keywords = QStringList{keywords.toString()};
    } else if (keywords.typeId() == QMetaType::QStringList) {
        metadata.keywords = keywords.toStringList();
    } else if (keywords.typeId() == QMetaType::QVariantList) {
        for (const QVariant& keyword : keywords.toList())
            if (keyword.typeId() == QMetaType::QString)
                metadata.keywords << keyword.toString();
    }
    metadata.creatingApplication = combinedAppNameAndVersion();
    return metadata;
}

std::vector<HVPDFOutlineItem> OVDocumentPDFExport::outlineItemsForTextView(TextView& textView)
{
    std::vector<HVPDFOutlineItem> items;
    const TextStorage& storage = textView.textStorage();
    const LayoutManager& layout = *textView.layoutManager();
    const Point origin = textView.textContainerOrigin();
    storage.enumerateAttribute(
        kAttachmentAttributeName, Range{0, storage.length()}, 0,
        [&](const AttributeValue& value, const Range& range, bool&) {
            const std::shared_ptr<TextAttachment> attachment = value.attachment();
            if (!attachment || !NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment))
                return;
            // A run may hold several bookmark characters next to each other: each is an entry.
            for (qsizetype index = range.location; index < range.location + range.length; ++index) {
                const AttributeValue own = storage.attribute(kAttachmentAttributeName, index, nullptr);
                const std::shared_ptr<TextAttachment> each = own.attachment();
                const std::shared_ptr<OVBookmark> bookmark =
                    each ? NSTextAttachmentOVBookmarkAdditions::bookmark(*each) : nullptr;
                const QString title = bookmark ? bookmark->nameAndTransientName() : QString();
                if (title.isEmpty())
                    continue;
                const Rect line = layout.lineFragmentRectForGlyphAtIndex(index);
                items.push_back(HVPDFOutlineItem::outlineWithTitle(
                    title, -1, Point{line.minX() + origin.x, line.minY() + origin.y}, true, true));
            }
        });
    return items;
}

std::optional<QByteArray>
OVDocumentPDFExport::exportablePDFDataFromPrompterView(const QVariantMap& metadataInfo,
                                                       OVPrompterView& prompterView)
{
    OVTextView* textView = prompterView.prompterTextView();
    if (!textView)
        return std::nullopt;
    // The whole text is laid out before the pages are cut, so every line is where it ends up; its
    // layouts are kept for drawing the pages, which would otherwise shape every paragraph again. The
    // view is the export's own and goes with them.
    LayoutManager& layout = *textView->layoutManager();
    const qsizetype length = textView->textStorage().length();
    if (length <= kPDFKeptLayoutCharacters)
        layout.setLayoutCacheLimit(length + 1);
    layout.ensureLayoutForTextContainer();
    textView->sizeToFit();
    const unsigned options = UserDefaults::shared().boolForKey(OVExportPDFUsingPaginationKey)
                                 ? NSViewHVPDFAdditions::kPDFPaginated
                                 : NSViewHVPDFAdditions::kPDFSinglePage;
    Rect bounds = textView->bounds();
    // An empty script gets one whole page, whatever minimum height its view keeps.
    if (textView->textStorage().length() == 0)
        bounds.size.height = 0;
    const std::optional<HVPDFPaginatedData> drawn =
        NSViewHVPDFAdditions::dataWithPaginatedPDFInsideRect(*textView, bounds, options, kPDFPageHeight);
    if (!drawn)
        return std::nullopt;

    const HVPDFMetadata metadata = metadataForMetadataInfo(metadataInfo);
    const std::vector<HVPDFOutlineItem> outline = outlineItemsForTextView(*textView);

    std::vector<HVPDFAnnotation> notes;
    const QString userName = combinedAppNameAndMajorRelease();
    const Rect noteRect = HVPDFAnnotation::defaultRect();
    if (const std::optional<QString> settings =
            prompterExportConfigurationForPrompterView(prompterView, false))
        if (auto note = HVPDFAnnotation::noteAnnotationWithContents(
                *settings, userName, kNoteColor, -1, HVPDFAnnotation::TopRight, noteRect, false, true))
            notes.push_back(*note);
    QString plain = textView->textStorage().string();
    plain.remove(kObjectReplacementCharacter);
    if (auto note = HVPDFAnnotation::noteAnnotationWithContents(
            plain, userName, kNoteColor, -1, HVPDFAnnotation::TopRight,
            noteRect.offsetBy(-noteRect.width(), 0), false, true))
        notes.push_back(*note);

    return HVPDFUtilities::enhancePDFData(*drawn, metadata, outline, notes);
}

bool OVDocumentPDFExport::exportPDFToURL(OVDocument& document, OVDocumentWindowController& controller,
                                         const QUrl& url, Error* error)
{
    // A folder that takes no file is said at once, before the pages are drawn.
    if (const QString reason =
            url.isLocalFile() ? Document::unwritableFolderReason(url.toLocalFile()) : QString();
        !reason.isEmpty()) {
        Error failure = Error::cocoa(kFileWriteNoPermissionError, url, reason);
        failure.setUserInfoValue(kLocalizedDescriptionKey, failedExportError().localizedDescription());
        qWarning("Error writing PDF data: %s", qUtf8Printable(reason));
        setError(error, failure);
        return false;
    }
    std::optional<QByteArray> data;
    const QVariantMap metadataInfo = document.metadataInfo();
    controller.window();
    OVEnvironment::createTemporaryPromptModeEnvironmentWithPrompterContent(
        controller.documentPrompterView(), Size{},
        [&data, &metadataInfo](Window&, OVPrompterView& temporary) {
            data = exportablePDFDataFromPrompterView(metadataInfo, temporary);
        });
    if (!data) {
        const Error failure = failedExportError();
        qWarning("Error generating PDF data: %s", qUtf8Printable(failure.localizedDescription()));
        setError(error, failure);
        return false;
    }
    // Written to a temporary beside the file (unnamed where the file system allows, so a program ended
    // mid-way leaves nothing) and renamed over it: the old file stays whole until the new one is.
    QSaveFile file(url.toLocalFile());
    file.setDirectWriteFallback(false);
    const bool written =
        url.isLocalFile() && file.open(QIODevice::WriteOnly) && file.write(*data) == data->size();
    if (written)
        StagingItem::reportProgress();
    if (!written || !file.commit()) {
        Error failure =
            Error::cocoa(kFileWriteUnknownError, url,
                         Document::writeFailureReason(url.toLocalFile(), data->size(), file.errorString()));
        failure.setUserInfoValue(kLocalizedDescriptionKey, failedExportError().localizedDescription());
        qWarning("Error writing PDF data: %s", qUtf8Printable(failure.localizedDescription()));
        setError(error, failure);
        return false;
    }
    return true;
}

void OVDocumentPDFExport::exportAsPDF(OVDocument& document, OVDocumentWindowController& controller)
{
    auto panel = std::make_shared<SavePanel>();
    panel->setNameFieldStringValue(document.displayName());
    panel->setFileTypes({SavePanel::FileType{kPDFType, QStringLiteral("PDF"), {QStringLiteral("pdf")}}});
    panel->setCanCreateDirectories(true);
    panel->setTitle(localized("document-title-export-as-pdf", "Export as PDF"));
    panel->setAccessoryView(OVDocumentExportPDFAccessoryViewController::viewController());
    OVDocument* target = &document;
    OVDocumentWindowController* window = &controller;
    panel->beginSheetModalForWindow(controller.window(), [panel, target, window](int response) {
        if (response != SavePanel::kModalResponseOK)
            return;
        Error error;
        if (!exportPDFToURL(*target, *window, panel->URL(), &error))
            target->presentError(error);
    });
}
