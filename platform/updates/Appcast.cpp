#include "platform/updates/Appcast.h"

#include <QXmlStreamReader>

namespace {

const QString kSparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");
const QString kAppcastErrorDomain = QStringLiteral("SUSparkleErrorDomain");
constexpr qint64 kAppcastParseError = 1000;

// A feed lists a few dozen releases in some kilobytes; these bounds only stop abuse.
constexpr qsizetype kMaximumFeedSize = 16 * 1024 * 1024;
constexpr int kMaximumDepth = 32;
constexpr size_t kMaximumItems = 10000;
constexpr qsizetype kMaximumTextLength = 1024 * 1024;
constexpr qsizetype kMaximumProperties = 256;

Error appcastError(const QString& reason)
{
    return Error(
        kAppcastErrorDomain, kAppcastParseError,
        {{kLocalizedDescriptionKey, QStringLiteral("An error occurred while parsing the update feed.")},
         {kLocalizedFailureReasonErrorKey, reason}});
}

QString elementName(const QXmlStreamReader& reader)
{
    if (reader.namespaceUri() == kSparkleNamespace)
        return QStringLiteral("sparkle:") + reader.name().toString();
    return reader.qualifiedName().toString();
}

QString attributeValue(const QXmlStreamAttributes& attributes, const QString& localName)
{
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() != localName)
            continue;
        if (attribute.namespaceUri() == kSparkleNamespace || attribute.qualifiedName() == localName ||
            attribute.qualifiedName() == QStringLiteral("sparkle:") + localName)
            return attribute.value().toString().trimmed();
    }
    return {};
}

// Addresses from a feed are opened or downloaded later: only web addresses are kept.
QUrl webURL(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    const QString scheme = url.scheme().toLower();
    return scheme == u"https" || scheme == u"http" ? url : QUrl();
}

// Feeds are written by hand often enough that a wrong weekday must not lose the date.
QDateTime publicationDate(const QString& text)
{
    QDateTime date = QDateTime::fromString(text, Qt::RFC2822Date);
    if (!date.isValid()) {
        if (const qsizetype comma = text.indexOf(u','); comma >= 0 && comma < 10)
            date = QDateTime::fromString(text.mid(comma + 1).trimmed(), Qt::RFC2822Date);
    }
    return date;
}

class AppcastReader {
public:
    explicit AppcastReader(const QByteArray& data) : m_reader(data) {}

    bool read(QString* title, std::vector<AppcastItem>* items, QString* failure)
    {
        bool sawChannel = false;
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType token = m_reader.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (++m_depth > kMaximumDepth)
                    return fail(failure, QStringLiteral("The feed is nested too deeply."));
                const QString name = elementName(m_reader);
                if (m_depth == 1 && name != u"rss")
                    return fail(failure, QStringLiteral("The feed is not an RSS document."));
                if (m_depth == 2)
                    m_inChannel = name == u"channel";
                sawChannel = sawChannel || m_inChannel;
                if (m_depth == 3 && m_inChannel && name == u"title")
                    *title = readText(failure);
                else if (m_depth == 3 && m_inChannel && name == u"item") {
                    if (items->size() >= kMaximumItems)
                        return fail(failure, QStringLiteral("The feed lists too many items."));
                    std::optional<AppcastItem> item = readItem(failure);
                    if (!item)
                        return false;
                    items->push_back(std::move(*item));
                }
                if (!failure->isEmpty())
                    return false;
            } else if (token == QXmlStreamReader::EndElement) {
                --m_depth;
            }
        }
        if (m_reader.hasError())
            return fail(failure, m_reader.errorString());
        if (!sawChannel)
            return fail(failure, QStringLiteral("The feed has no channel."));
        return true;
    }

private:
    static bool fail(QString* failure, const QString& reason)
    {
        *failure = reason;
        return false;
    }

    // Reads the text of the current element, including that of any children, and leaves the
    // reader on its end; the depth is restored to the element's parent.
    QString readText(QString* failure)
    {
        QString text;
        int depth = 0;
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType token = m_reader.readNext();
            if (token == QXmlStreamReader::Characters) {
                text += m_reader.text();
                if (text.size() > kMaximumTextLength) {
                    *failure = QStringLiteral("The feed holds an element too large to read.");
                    return {};
                }
            } else if (token == QXmlStreamReader::StartElement) {
                if (m_depth + ++depth > kMaximumDepth) {
                    *failure = QStringLiteral("The feed is nested too deeply.");
                    return {};
                }
            } else if (token == QXmlStreamReader::EndElement) {
                if (depth-- == 0)
                    break;
            }
        }
        --m_depth;
        return text.trimmed();
    }

    std::optional<AppcastItem> readItem(QString* failure)
    {
        AppcastItem item;
        QString enclosureVersion;
        QString enclosureShortVersion;
        QString itemVersion;
        QString itemShortVersion;
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType token = m_reader.readNext();
            if (token == QXmlStreamReader::EndElement) {
                --m_depth;
                break;
            }
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (++m_depth > kMaximumDepth) {
                fail(failure, QStringLiteral("The feed is nested too deeply."));
                return std::nullopt;
            }
            const QString name = elementName(m_reader);
            if (name == u"enclosure") {
                const QXmlStreamAttributes attributes = m_reader.attributes();
                item.fileURL = webURL(attributeValue(attributes, QStringLiteral("url")));
                bool ok = false;
                const qint64 length = attributeValue(attributes, QStringLiteral("length")).toLongLong(&ok);
                item.contentLength = ok && length >= 0 ? length : -1;
                item.contentType = attributeValue(attributes, QStringLiteral("type"));
                item.edSignature = attributeValue(attributes, QStringLiteral("edSignature"));
                item.dsaSignature = attributeValue(attributes, QStringLiteral("dsaSignature"));
                enclosureVersion = attributeValue(attributes, QStringLiteral("version"));
                enclosureShortVersion = attributeValue(attributes, QStringLiteral("shortVersionString"));
            }
            const QString text = readText(failure);
            if (!failure->isEmpty())
                return std::nullopt;
            if (name == u"enclosure")
                continue;
            if (name == u"title")
                item.title = text;
            else if (name == u"link")
                item.infoURL = webURL(text);
            else if (name == u"description")
                item.itemDescription = text;
            else if (name == u"pubDate")
                item.date = publicationDate(text);
            else if (name == u"sparkle:version")
                itemVersion = text;
            else if (name == u"sparkle:shortVersionString")
                itemShortVersion = text;
            else if (name == u"sparkle:minimumSystemVersion")
                item.minimumSystemVersion = text;
            else if (name == u"sparkle:maximumSystemVersion")
                item.maximumSystemVersion = text;
            else if (name == u"sparkle:releaseNotesLink")
                item.releaseNotesURL = webURL(text);
            if (item.propertiesDictionary.size() < kMaximumProperties)
                item.propertiesDictionary.insert(name, text);
        }
        // The enclosure's attributes describe the download and take precedence over the item's.
        item.versionString = !enclosureVersion.isEmpty() ? enclosureVersion : itemVersion;
        item.displayVersionString =
            !enclosureShortVersion.isEmpty() ? enclosureShortVersion : itemShortVersion;
        if (item.displayVersionString.isEmpty())
            item.displayVersionString = item.versionString;
        return item;
    }

    QXmlStreamReader m_reader;
    int m_depth = 0;
    bool m_inChannel = false;
};

} // namespace

std::optional<Appcast> Appcast::appcastWithData(const QByteArray& data, Error* error)
{
    if (data.size() > kMaximumFeedSize) {
        setError(error, appcastError(QStringLiteral("The feed is too large.")));
        return std::nullopt;
    }
    Appcast appcast;
    QString failure;
    AppcastReader reader(data);
    if (!reader.read(&appcast.m_title, &appcast.m_items, &failure)) {
        setError(error, appcastError(failure));
        return std::nullopt;
    }
    return appcast;
}
