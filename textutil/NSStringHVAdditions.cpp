#include "textutil/NSStringHVAdditions.h"

#include "platform/foundation/Uuid.h"
#include "platform/text/AttributeNames.h"

namespace NSStringHVAdditions {

namespace {

bool isWhitespaceOrNewline(char16_t c)
{
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85)
        return true;
    QChar::Category category = QChar(c).category();
    return category == QChar::Separator_Space || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

bool isNewline(char16_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isPunctuation(char16_t c)
{
    return QChar(c).isPunct();
}

bool isSymbol(char16_t c)
{
    return QChar(c).isSymbol();
}

struct TypeEntry {
    const char* extension;
    const char* uti;
    const char* mimeType;
};

// The types the application reads, writes or embeds. Extensions listed twice map to one type; the
// first extension of a type is its preferred one.
constexpr TypeEntry kTypes[] = {
    {"rtf", "public.rtf", "text/rtf"},
    {"rtfd", "com.apple.rtfd", nullptr},
    {"txt", "public.plain-text", "text/plain"},
    {"text", "public.plain-text", "text/plain"},
    {"html", "public.html", "text/html"},
    {"htm", "public.html", "text/html"},
    {"xml", "public.xml", "application/xml"},
    {"plist", "com.apple.property-list", nullptr},
    {"json", "public.json", "application/json"},
    {"csv", "public.comma-separated-values-text", "text/csv"},
    {"pdf", "com.adobe.pdf", "application/pdf"},
    {"png", "public.png", "image/png"},
    {"jpg", "public.jpeg", "image/jpeg"},
    {"jpeg", "public.jpeg", "image/jpeg"},
    {"jpe", "public.jpeg", "image/jpeg"},
    {"tif", "public.tiff", "image/tiff"},
    {"tiff", "public.tiff", "image/tiff"},
    {"gif", "com.compuserve.gif", "image/gif"},
    {"bmp", "com.microsoft.bmp", "image/bmp"},
    {"ico", "com.microsoft.ico", "image/vnd.microsoft.icon"},
    {"heic", "public.heic", "image/heic"},
    {"webp", "org.webmproject.webp", "image/webp"},
    {"svg", "public.svg-image", "image/svg+xml"},
    {"doc", "com.microsoft.word.doc", "application/msword"},
    {"docx", "org.openxmlformats.wordprocessingml.document",
     "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"odt", "org.oasis-open.opendocument.text", "application/vnd.oasis.opendocument.text"},
    {"webarchive", "com.apple.webarchive", "application/x-webarchive"},
    {"zip", "public.zip-archive", "application/zip"},
    {"mov", "com.apple.quicktime-movie", "video/quicktime"},
    {"mp4", "public.mpeg-4", "video/mp4"},
    {"mp3", "public.mp3", "audio/mpeg"},
    {"wav", "com.microsoft.waveform-audio", "audio/vnd.wave"},
};

// The preferred identifier for a tag of a class; no conforming type is required.
QString utiForTagClass(const QString& tag, const QString& tagClass)
{
    if (tag.isEmpty())
        return {};
    for (const TypeEntry& entry : kTypes) {
        if (tagClass == kFilenameExtensionTagClass &&
            tag.compare(QLatin1String(entry.extension), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(entry.uti);
        if (tagClass == kMIMETypeTagClass && entry.mimeType &&
            tag.compare(QLatin1String(entry.mimeType), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(entry.uti);
    }
    return {};
}

} // namespace

QString stringWithCharacter(char16_t character)
{
    return QString(QChar(character));
}

QString stringWithAttachmentCharacter()
{
    return stringWithCharacter(kAttachmentCharacter);
}

QString stringWithUUID()
{
    return uuidString();
}

Range fullRange(const QString& string)
{
    return Range{0, string.size()};
}

Range rangeOfTrimmedString(const QString& string)
{
    qsizetype from = 0;
    qsizetype to = string.size();
    while (from < to && isWhitespaceOrNewline(string.at(from).unicode()))
        ++from;
    while (to > from && isWhitespaceOrNewline(string.at(to - 1).unicode()))
        --to;
    return Range{from, to - from};
}

QString stringByTrimmingString(const QString& string)
{
    const Range kept = rangeOfTrimmedString(string);
    return string.mid(kept.location, kept.length);
}

bool containsUnsupportedLineEndingStrings(const QString& string)
{
    return string.contains(u'\r');
}

QString find(const QString& string, const QString& find, const QString& replace)
{
    // Splitting at an empty string would cut between every character.
    if (find.isEmpty())
        return string;
    return string.split(find, Qt::KeepEmptyParts).join(replace);
}

QStringList linesFromString(const QString& string)
{
    QString unified = string;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    unified.replace(u'\r', u'\n');
    return unified.split(u'\n', Qt::KeepEmptyParts);
}

std::optional<std::vector<Range>> attachmentRanges(const QString& string)
{
    std::vector<Range> ranges;
    for (qsizetype at = string.indexOf(QChar(kAttachmentCharacter)); at >= 0;
         at = string.indexOf(QChar(kAttachmentCharacter), at + 1))
        ranges.push_back(Range{at, 1});
    if (ranges.empty())
        return std::nullopt;
    return ranges;
}

QString stripCharacterSet(const QString& string, const CharacterSet& set)
{
    QString result;
    qsizetype length = string.size();
    qsizetype position = 0;
    auto skip = [&] {
        while (position < length && set(string.at(position).unicode()))
            ++position;
    };
    while (true) {
        skip();
        if (position >= length)
            break;
        qsizetype start = position;
        while (position < length && !set(string.at(position).unicode()))
            ++position;
        result.append(QStringView(string).mid(start, position - start));
        if (position + 1 < length) {
            result.append(u' ');
            ++position;
        }
    }
    return result;
}

QStringList words(const QString& string)
{
    auto separators = [](char16_t c) {
        if (c == u'\t')
            return true;
        if (c == u'\'' || c == 0x2019 || c == u':')
            return false;
        return isNewline(c) || isSymbol(c) || isPunctuation(c);
    };
    QStringList list = stripCharacterSet(string, separators).split(u' ', Qt::KeepEmptyParts);
    if (list.size() == 1)
        return list;
    auto trimmable = [](QChar c) { return isPunctuation(c.unicode()) || c == u':'; };
    for (qsizetype i = list.size() - 1; i >= 1; --i) {
        const QString& word = list.at(i);
        qsizetype from = 0;
        qsizetype to = word.size();
        while (from < to && trimmable(word.at(from)))
            ++from;
        while (to > from && trimmable(word.at(to - 1)))
            --to;
        if (from == to)
            list.removeAt(i);
        else if (to - from < word.size())
            list[i] = word.mid(from, to - from);
    }
    return list;
}

QString UTIForExtension(const QString& extension)
{
    return utiForTagClass(extension, kFilenameExtensionTagClass);
}

QString MIMETypeForUTI(const QString& uti)
{
    for (const TypeEntry& entry : kTypes)
        if (entry.mimeType && uti == QLatin1String(entry.uti))
            return QString::fromLatin1(entry.mimeType);
    return {};
}

QString MIMETypeForExtension(const QString& extension)
{
    return MIMETypeForUTI(UTIForExtension(extension));
}

} // namespace NSStringHVAdditions
