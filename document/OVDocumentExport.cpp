#include "document/OVDocumentExport.h"

#include "document/OVConversionProgress.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/UniformTypeRegistry.h"
#include "platform/foundation/StagingItem.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfWriter.h"
#include "platform/text/Rtfd.h"
#include "platform/textformats/Docx.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/HtmlWriter.h"
#include "platform/textformats/LibreOffice.h"
#include "platform/textformats/Odt.h"
#include "platform/textformats/PlainText.h"
#include "platform/textformats/WebArchive.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"

#include <QSaveFile>

namespace {

void log(const QString& line)
{
    qWarning("%s", qUtf8Printable(line));
}

struct WritingRow {
    QStringList conformsTo;
    // Pasteboard type names that stand for the type too.
    QStringList equals;
    QString documentType;
};

const std::vector<WritingRow>& writingTable()
{
    static const std::vector<WritingRow> rows{
        {{"com.microsoft.word.doc"}, {}, QStringLiteral("NSDocFormat")},
        {{"org.openxmlformats.wordprocessingml.document", "com.microsoft.word.openxml.document"},
         {},
         QStringLiteral("NSOfficeOpenXML")},
        {{"org.oasis-open.opendocument.text"}, {}, QStringLiteral("NSOpenDocument")},
        {{"com.apple.webarchive"}, {}, QStringLiteral("NSWebArchive")},
        {{"public.html"}, {"public.html"}, NSHTMLTextDocumentType},
        {{"com.apple.rtfd"}, {}, NSRTFDTextDocumentType},
        {{"public.rtf"}, {"public.rtf"}, NSRTFTextDocumentType},
        {{"public.plain-text"}, {"public.utf8-plain-text"}, NSPlainTextDocumentType},
    };
    return rows;
}

} // namespace

QString OVDocumentExport::documentTypeForWriting(const QString& type)
{
    const UniformTypeRegistry& registry = UniformTypeRegistry::shared();
    for (const WritingRow& row : writingTable()) {
        if (row.equals.contains(type))
            return row.documentType;
        for (const QString& parent : row.conformsTo)
            if (registry.conformsTo(type, parent))
                return row.documentType;
    }
    return {};
}

bool OVDocumentExport::canWriteDocumentType(const QString& documentType)
{
    if (documentType == QStringLiteral("NSDocFormat"))
        return LibreOffice::isAvailable();
    return documentType == NSHTMLTextDocumentType || documentType == NSOfficeOpenXMLTextDocumentType ||
           documentType == NSOpenDocumentTextDocumentType || documentType == NSWebArchiveTextDocumentType ||
           documentType == NSRTFDTextDocumentType || documentType == NSRTFTextDocumentType ||
           documentType == NSPlainTextDocumentType;
}

std::optional<QByteArray> OVDocumentExport::data(const QString& documentType, MutableAttributedString& text,
                                                 const DocumentAttributes& documentAttributes,
                                                 std::optional<quint64> defaultEncodingValue, Error* error)
{
    // These writers leave every attachment character out, bookmarks with the rest.
    DocumentAttributes attributes = documentAttributes;
    attributes.insert(NSDocumentTypeDocumentAttribute, documentType);
    if (documentType == NSRTFTextDocumentType)
        return RtfWriter::write(text, attributes);
    if (documentType == NSHTMLTextDocumentType)
        return HtmlWriter::write(text, attributes);
    if (documentType == NSOfficeOpenXMLTextDocumentType)
        return Docx::write(text, attributes, error);
    if (documentType == QStringLiteral("NSDocFormat")) {
        // Our Word XML document, converted by LibreOffice; never RTF bytes under a .doc name.
        const auto docx = Docx::write(text, attributes, error);
        if (!docx)
            return std::nullopt;
        OVConversionProgress progress(QStringLiteral("Converting to Word 97 with LibreOffice\u2026"));
        Error conversionError;
        auto doc = LibreOffice::convert(*docx, QStringLiteral("docx"), QStringLiteral("doc:MS Word 97"),
                                        QStringLiteral("doc"), progress.progress(), &conversionError);
        if (!doc) {
            if (conversionError.code() != kUserCancelledError)
                conversionError =
                    Error::cocoa(kFileWriteUnknownError, {}, conversionError.localizedFailureReason());
            setError(error, conversionError);
        }
        return doc;
    }
    if (documentType == NSOpenDocumentTextDocumentType)
        return Odt::write(text, attributes, error);
    if (documentType == NSWebArchiveTextDocumentType)
        return WebArchive::write(text, attributes, error);
    if (documentType == NSPlainTextDocumentType) {
        TextEncoding encoding = PlainTextCodec::automaticEncodingFor(text.string());
        if (defaultEncodingValue && *defaultEncodingValue != 0) {
            if (!PlainTextCodec::isKnown(quint32(*defaultEncodingValue)) ||
                *defaultEncodingValue > 0xFFFFFFFFu) {
                setError(error, Error::cocoa(kFileWriteUnknownError, {},
                                             QStringLiteral("The chosen text encoding is not one this "
                                                            "application can write.")));
                return std::nullopt;
            }
            encoding = TextEncoding(quint32(*defaultEncodingValue));
        }
        return PlainText::write(text, encoding, error);
    }
    setError(error, Error::cocoa(kFileWriteUnknownError, {},
                                 QStringLiteral("Documents cannot be written in this kind yet.")));
    return std::nullopt;
}

bool OVDocumentExport::write(const QUrl& url, const QString& type, MutableAttributedString& text,
                             DocumentAttributes documentAttributes,
                             std::optional<quint64> defaultEncodingValue, Error* error)
{
    const QString documentType = documentTypeForWriting(type);
    if (documentType.isEmpty()) {
        log(QStringLiteral("Error: documentTypeAttribute is nil"));
        setError(error, Error::cocoa(kFileWriteUnknownError, url));
        return false;
    }
    if (documentType == NSRTFDTextDocumentType) {
        NSMutableAttributedStringOVBookmarkAdditions::removeAllBookmarks(text);
        documentAttributes.insert(NSDocumentTypeDocumentAttribute, documentType);
        Error writeError;
        if (!Rtfd::writeToURL(url, text, documentAttributes, &writeError)) {
            log(QStringLiteral("Error writing result fileWrapper"));
            writeError.setUserInfoValue(kURLErrorKey, url);
            setError(error, writeError);
            return false;
        }
        return true;
    }
    if (documentType == NSWebArchiveTextDocumentType)
        NSMutableAttributedStringOVBookmarkAdditions::removeAllBookmarks(text);
    Error dataError;
    const auto bytes = data(documentType, text, documentAttributes, defaultEncodingValue, &dataError);
    if (!bytes) {
        log(QStringLiteral("Error constructing contentFileWrapper. error = %1")
                .arg(dataError.localizedDescription()));
        dataError.setUserInfoValue(kURLErrorKey, url);
        setError(error, dataError);
        return false;
    }
    // Converted whole before the file is touched, then written to a temporary beside it (unnamed where
    // the file system allows, so a program ended mid-way leaves nothing) and renamed over it.
    QSaveFile file(url.toLocalFile());
    file.setDirectWriteFallback(false);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(*bytes) == bytes->size();
    if (written)
        StagingItem::reportProgress();
    if (!written || !file.commit()) {
        log(QStringLiteral("Error writing result fileWrapper"));
        setError(error, Error::cocoa(kFileWriteUnknownError, url,
                                     Document::writeFailureReason(url.toLocalFile(), bytes->size(),
                                                                  file.errorString())));
        return false;
    }
    return true;
}
