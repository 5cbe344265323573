#include "document/OVDocumentImport.h"

#include "document/OVConversionProgress.h"
#include "document/OVDocumentTypeCheck.h"
#include "document/OVLoadedDocumentInfo.h"
#include "platform/appkit/UniformTypeRegistry.h"
#include "platform/foundation/ReadRegularFile.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/Rtfd.h"
#include "platform/textformats/Docx.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/LibreOffice.h"
#include "platform/textformats/Odt.h"
#include "platform/textformats/PlainText.h"
#include "platform/textformats/PlainTextCodec.h"
#include "platform/textformats/WebArchive.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "textutil/NSMutableAttributedStringHVAdditions.h"
#include "textutil/NSMutableAttributedStringOVTextSize.h"
#include "textutil/NSStringHVAdditions.h"

namespace {

void log(const QString& line)
{
    qWarning("%s", qUtf8Printable(line));
}

struct ReadingRow {
    const char* conformsTo;
    QString documentType;
    // The importer leaves a newline at the end that the window takes off again.
    bool addsNewlineToEnd;
};

const std::vector<ReadingRow>& readingTable()
{
    static const std::vector<ReadingRow> rows{
        {"com.microsoft.word.doc", QStringLiteral("NSDocFormat"), true},
        {"org.openxmlformats.wordprocessingml.document", QStringLiteral("NSOfficeOpenXML"), true},
        {"org.oasis-open.opendocument.text", QStringLiteral("NSOpenDocument"), true},
        {"com.apple.webarchive", QStringLiteral("NSWebArchive"), true},
        {"public.html", NSHTMLTextDocumentType, true},
        {"com.apple.rtfd", NSRTFDTextDocumentType, false},
        {"public.rtf", NSRTFTextDocumentType, false},
        {"public.plain-text", NSPlainTextDocumentType, false},
    };
    return rows;
}

const ReadingRow* rowForType(const QString& type)
{
    for (const ReadingRow& row : readingTable())
        if (UniformTypeRegistry::shared().conformsTo(type, QString::fromLatin1(row.conformsTo)))
            return &row;
    return nullptr;
}

bool readData(const QUrl& url, QByteArray* data, Error* error)
{
    std::optional<QByteArray> contents = readRegularFile(url, OVDocumentImport::kMaxFileBytes, error);
    if (!contents)
        return false;
    *data = std::move(*contents);
    return true;
}

// What a file named .doc really holds. Word 97 files are compound documents; Word also saves RTF, HTML
// and Word XML under that name, and any file may be renamed. Only a compound document holding a Word
// stream goes to LibreOffice, which would otherwise read whatever the file names (an HTML page's
// file:// pictures among it) and sit on a damaged header for seconds; the rest is read here as what
// it is.
enum class DocContent { Word97, Rtf, Html, WordXml, PlainText, Unknown };

bool isCompoundDocumentWithWordStream(QByteArrayView data)
{
    static constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    if (data.size() < 1024 || !data.startsWith(QByteArrayView(kSignature, 8)))
        return false;
    const auto u16 = [&](qsizetype at) {
        return quint16(quint8(data[at])) | quint16(quint16(quint8(data[at + 1])) << 8);
    };
    // Byte order mark, and 512- or 4096-byte sectors as versions 3 and 4 have them.
    const quint16 shift = u16(30);
    if (u16(28) != 0xFFFE || !((u16(26) == 3 && shift == 9) || (u16(26) == 4 && shift == 12)))
        return false;
    // Directory entries are 128 bytes and start on such a boundary in any sector: the Word stream is
    // an entry named "WordDocument" (UTF-16, 26 bytes with its terminator) of the stream type.
    static const QByteArray name = [] {
        QByteArray bytes;
        for (char c : QByteArrayView("WordDocument"))
            bytes.append(c).append('\0');
        return bytes;
    }();
    for (qsizetype at = qsizetype(1) << shift; at + 128 <= data.size(); at += 128) {
        if (data.sliced(at, name.size()) == name && u16(at + 64) == 26 && quint8(data[at + 66]) == 2)
            return true;
    }
    return false;
}

DocContent sniffDocContent(QByteArrayView data)
{
    if (data.startsWith(QByteArrayView("\xD0\xCF\x11\xE0", 4)))
        return isCompoundDocumentWithWordStream(data) ? DocContent::Word97 : DocContent::Unknown;
    if (data.startsWith("PK\x03\x04"))
        return DocContent::WordXml;
    QByteArrayView rest = data;
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    while (!rest.isEmpty() &&
           (rest.front() == ' ' || rest.front() == '\t' || rest.front() == '\r' || rest.front() == '\n'))
        rest = rest.sliced(1);
    if (rest.startsWith("{\\rtf"))
        return DocContent::Rtf;
    if (rest.startsWith("<"))
        return DocContent::Html;
    // Text is what decodes without control characters other than line and page breaks and tabs.
    if (!PlainTextCodec::detect(data))
        return DocContent::Unknown;
    const QString text = PlainTextCodec::decode(data);
    for (QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f')
            return DocContent::Unknown;
    }
    return DocContent::PlainText;
}

Error withURL(Error error, const QUrl& url)
{
    if (error.isNull())
        return Error::cocoa(kFileReadCorruptFileError, url);
    error.setUserInfoValue(kURLErrorKey, url);
    return error;
}

} // namespace

QString OVDocumentImport::documentTypeForReading(const QString& type)
{
    const ReadingRow* row = rowForType(type);
    return row ? row->documentType : QString();
}

OVDocumentImport::Options OVDocumentImport::Options::fromUserDefaults()
{
    Options options;
    UserDefaults& defaults = UserDefaults::shared();
    const QString encodingKey = QStringLiteral("defaultEncodingValue");
    if (!defaults.objectForKey(encodingKey).isNull())
        options.defaultEncodingValue = quint64(std::max<qint64>(0, defaults.integerForKey(encodingKey)));
    options.normalizeParagraphIndents = defaults.boolForKey(QStringLiteral("openNormalizeParagraphIndents"));
    options.defaultStyleAttributes = [] {
        return OVSharedPreferencesAccess::defaultStyleAttributesWithDocumentAttributes();
    };
    return options;
}

bool OVDocumentImport::read(const QUrl& url, const QString& type, const Options& options,
                            OVLoadedDocumentInfo* info, bool* useDefaultStyle, Error* error)
{
    const ReadingRow* row = rowForType(type);
    if (!row) {
        log(QStringLiteral("Error: documentTypeAttribute is nil"));
        setError(error, Error::cocoa(kFileReadUnknownError, url));
        return false;
    }
    const QString documentType = row->documentType;
    auto text = std::make_shared<MutableAttributedString>();
    DocumentAttributes attributes;
    bool defaultStyle = false;
    Error readError;
    if (documentType == NSRTFDTextDocumentType) {
        if (!Rtfd::readFromURL(url, *text, &attributes, &readError)) {
            log(QStringLiteral("Error: Could not create documentContent"));
            setError(error, withURL(readError, url));
            return false;
        }
    } else {
        QByteArray data;
        if (!readData(url, &data, error)) {
            log(QStringLiteral("Error creating data"));
            return false;
        }
        bool converted = false;
        if (documentType == NSRTFTextDocumentType) {
            converted = RtfReader::read(data, *text, &attributes, &readError);
        } else if (documentType == NSHTMLTextDocumentType) {
            converted = HtmlReader::read(data, *text, &attributes, &readError);
        } else if (documentType == QStringLiteral("NSDocFormat")) {
            switch (sniffDocContent(data)) {
            case DocContent::Word97: {
                // LibreOffice turns it into a Word XML document in a folder of its own; ours reads that.
                OVConversionProgress progress(
                    QStringLiteral("Converting \u201C%1\u201D with LibreOffice\u2026").arg(url.fileName()));
                const auto docx =
                    LibreOffice::convert(data, QStringLiteral("doc"), QStringLiteral("docx"),
                                         QStringLiteral("docx"), progress.progress(), &readError);
                converted = docx && Docx::read(*docx, *text, &attributes, &readError);
                break;
            }
            case DocContent::Rtf:
                converted = RtfReader::read(data, *text, &attributes, &readError);
                break;
            case DocContent::Html:
                converted = HtmlReader::read(data, *text, &attributes, &readError);
                break;
            case DocContent::WordXml:
                converted = Docx::read(data, *text, &attributes, &readError);
                break;
            case DocContent::PlainText:
                PlainText::read(data, *text, &attributes);
                converted = true;
                break;
            case DocContent::Unknown:
                readError =
                    Error::cocoa(kFileReadCorruptFileError, url,
                                 QStringLiteral("The file \u201C%1\u201D is not a Word document: it "
                                                "holds neither Word 97, Word XML, RTF, HTML nor text.")
                                     .arg(url.fileName()));
                break;
            }
            if (converted)
                attributes.insert(NSDocumentTypeDocumentAttribute, documentType);
        } else if (documentType == NSOfficeOpenXMLTextDocumentType) {
            converted = Docx::read(data, *text, &attributes, &readError);
        } else if (documentType == NSWebArchiveTextDocumentType) {
            converted = WebArchive::read(data, *text, &attributes, &readError);
        } else if (documentType == NSOpenDocumentTextDocumentType) {
            converted = Odt::read(data, *text, &attributes, &readError);
        } else if (documentType == NSPlainTextDocumentType) {
            std::optional<TextEncoding> encoding;
            if (options.defaultEncodingValue && *options.defaultEncodingValue != 0) {
                if (PlainTextCodec::isKnown(quint32(*options.defaultEncodingValue)))
                    encoding = TextEncoding(quint32(*options.defaultEncodingValue));
            } else if (options.defaultEncodingValue) {
                QString why;
                encoding = PlainTextCodec::detect(data, &why);
                if (!encoding)
                    log(QStringLiteral(
                            "Automatic encoding could not be detected. Trying fallback. Error = %1")
                            .arg(why));
            }
            AttributeDictionary style;
            if (options.defaultStyleAttributes) {
                if (const auto given = options.defaultStyleAttributes()) {
                    style = *given;
                    // The style's page colour is the window's business, not each character's.
                    style.remove(NSBackgroundColorDocumentAttribute);
                    defaultStyle = true;
                }
            }
            PlainText::read(data, *text, &attributes, style, encoding);
            converted = true;
        } else {
            readError = Error::cocoa(kFileReadUnknownError, url,
                                     QStringLiteral("Documents of this kind cannot be opened yet."));
        }
        if (!converted) {
            log(QStringLiteral("Error creating documentContent"));
            setError(error, withURL(readError, url));
            return false;
        }
    }
    if (options.normalizeParagraphIndents)
        NSMutableAttributedStringOVBookmarkAdditions::normalizeParagraphIndents(*text);
    if (NSStringHVAdditions::containsUnsupportedLineEndingStrings(text->string()))
        NSMutableAttributedStringHVAdditions::unifyLineEndings(*text);

    OVLoadedDocumentInfo loaded;
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        loaded.values.insert(it.key(), it.value());
    loaded.content = std::move(text);
    loaded.appKitFileTypeAddsNewlineToEnd = row->addsNewlineToEnd;
    if (!checkLoadedDocumentInfo(loaded, url, error))
        return false;
    if (useDefaultStyle)
        *useDefaultStyle = defaultStyle;
    if (info)
        *info = std::move(loaded);
    return true;
}
