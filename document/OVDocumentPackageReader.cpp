#include "document/OVDocumentPackageReader.h"

#include "document/OVDocumentPackageConstants.h"
#include "document/OVDocumentTypeCheck.h"
#include "document/OVLegacyColorArchive.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/ReadRegularFile.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/NSErrorHVAdditions.h"
#include "platform/text/Rtfd.h"
#include "platform/text/TextAttachment.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "textutil/NSAttributedStringHVAdditions.h"
#include "textutil/NSMutableAttributedStringHVAdditions.h"
#include "textutil/NSStringHVAdditions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>

#include <cmath>
#include <limits>
#include <map>

namespace {

// Documents larger than this are not prompter scripts; refusing them keeps memory bounded.
constexpr qint64 kMaxPrompterDocumentBytes = qint64(512) << 20;
constexpr qint64 kMaxTagImageBytes = qint64(256) << 20;

void logLine(const QString& line)
{
    qWarning("%s", qUtf8Printable(line));
}

Error corrupt(const QUrl& url)
{
    return Error::cocoa(kFileReadCorruptFileError, url);
}

// The user chose the file (for a package, the package, not its members): what fails inside it is
// reported under that file's name, as a damaged file unless it could not be read at all, with the
// part's own error (a member's, the property-list parser's) kept beneath it.
Error underChosenFile(const Error& part, const QUrl& chosenURL)
{
    if (part.isNull())
        return corrupt(chosenURL);
    const bool unreadable = part.domain() == kCocoaErrorDomain && part.code() == kFileReadUnknownError;
    Error error = Error::cocoa(unreadable ? kFileReadUnknownError : kFileReadCorruptFileError, chosenURL,
                               part.localizedFailureReason());
    error.setUserInfoValue(kUnderlyingErrorKey, QVariant::fromValue(part));
    return error;
}

// The errors of the parts are passed on as they are, but always say which file they concern.
Error withURL(Error error, const QUrl& url)
{
    if (error.isNull())
        error = corrupt(url);
    if (error.fileURL().isEmpty())
        error.setUserInfoValue(kURLErrorKey, url);
    return error;
}

QVariant wrap(const PlistValue& value)
{
    return QVariant::fromValue(value);
}

// A whole decimal number, saturating far outside any text; nothing for anything else ("7a", "", "0x7").
std::optional<qint64> decimalValue(const QString& text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    constexpr qint64 kLimit = std::numeric_limits<qint64>::max() / 10 - 10;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (value < kLimit)
            value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

// The unsigned value the version gate compares; a negative or non-finite number counts as newer.
quint64 unsignedValue(const PlistValue& number)
{
    if (number.isBoolean())
        return number.boolean() ? 1 : 0;
    if (number.isInteger())
        return number.isUnsignedInteger() ? number.unsignedValue() : quint64(number.integer());
    const double real = number.real();
    if (!std::isfinite(real) || real < 0 || real >= 1.8e19)
        return std::numeric_limits<quint64>::max();
    return quint64(real);
}

// Puts the bookmarks back into text. A damaged item, or an archive that does not decode, is left
// out (counted in leftOut) and the others still go back; only a hostile number of positions fails.
bool reinsertBookmarks(MutableAttributedString& text, const PlistValue& bookmarks, const QUrl& url,
                       int* leftOut, Error* error)
{
    if (!_isPlistObject(bookmarks, OVPlistClass::Array, OVDocumentBookmarkItemArrayKey, url, nullptr)) {
        ++*leftOut;
        return true;
    }
    const QString itemKey = QStringLiteral("%1 Item").arg(OVDocumentBookmarkItemArrayKey);
    std::map<qint64, QByteArray> dataByIndex;
    for (const PlistValue& item : bookmarks.array()) {
        if (!_isPlistObject(item, OVPlistClass::Dictionary, itemKey, url, nullptr)) {
            ++*leftOut;
            continue;
        }
        const PlistValue* data = item.dictionary().find(OVDocumentBookmarkItemDataKey);
        const PlistValue* locations = item.dictionary().find(OVDocumentBookmarkItemLocationsKey);
        if (!data || !locations ||
            !_isPlistObject(*data, OVPlistClass::Data, OVDocumentBookmarkItemDataKey, url, nullptr) ||
            !_isPlistObject(*locations, OVPlistClass::String, OVDocumentBookmarkItemLocationsKey, url,
                            nullptr)) {
            ++*leftOut;
            continue;
        }
        const QStringList parts = locations->string().split(OVDocumentBookmarkItemLocationSeparatorKey);
        for (const QString& part : parts) {
            if (part.isEmpty())
                continue;
            const QString trimmed = NSStringHVAdditions::stringByTrimmingString(part);
            const auto index = decimalValue(trimmed);
            if (!index) {
                logLine(QStringLiteral("bookmark location \"%1\" is not a decimal number").arg(trimmed));
                continue;
            }
            dataByIndex[*index] = data->data();
            if (qsizetype(dataByIndex.size()) > OVDocumentPackageReader::kMaxBookmarkLocations) {
                setError(error, corrupt(url));
                return false;
            }
        }
    }

    QMap<QByteArray, std::shared_ptr<OVBookmark>> decoded;
    QSet<QByteArray> undecodable;
    text.beginEditing();
    for (const auto& [index, data] : dataByIndex) {
        if (index < 0 || index > text.length()) {
            logLine(QStringLiteral("bookmark location %1 is beyond the document length %2")
                        .arg(index)
                        .arg(text.length()));
            continue;
        }
        auto it = decoded.find(data);
        if (it == decoded.end())
            it = decoded.insert(data, OVBookmark::unarchivedBookmark(data));
        if (!*it) {
            if (!undecodable.contains(data)) {
                logLine(QStringLiteral("a bookmark at %1 could not be decoded and is left out").arg(index));
                undecodable.insert(data);
                ++*leftOut;
            }
            continue;
        }
        const auto attachment = (*it)->copy()->textAttachment();
        const AttributedString mark(
            QString(QChar(kAttachmentCharacter)),
            AttributeDictionary{{kAttachmentAttributeName, AttributeValue(attachment)}});
        NSMutableAttributedStringHVAdditions::insertAttributedString(text, mark, index, true);
    }
    text.endEditing();
    return true;
}

QString bookmarksLeftOut(int count)
{
    return count == 1 ? QStringLiteral("a bookmark that could not be read")
                      : QStringLiteral("%1 bookmarks that could not be read").arg(count);
}

void fixShiftedBookmarks(MutableAttributedString& text)
{
    const auto ranges = NSAttributedStringOVBookmarkAdditions::bookmarkCharacterRanges(text);
    if (!ranges)
        return;
    const std::vector<Range>& bookmarks = *ranges;
    size_t i = 0;
    while (i < bookmarks.size()) {
        const Range bookmark = bookmarks[i];
        const Range paragraph = text.paragraphRange(bookmark);
        if (i + 1 < bookmarks.size() && paragraph.contains(bookmarks[i + 1])) {
            // Several bookmarks in one paragraph were placed there on purpose; the first one after
            // the group is examined on its own.
            while (i < bookmarks.size() && paragraph.contains(bookmarks[i]))
                ++i;
            continue;
        }
        const qsizetype offset = bookmark.location - paragraph.location;
        if (offset >= 1 && offset <= 2) {
            const AttributedString moved = text.attributedSubstring(bookmark);
            text.deleteCharacters(bookmark);
            text.insert(moved, paragraph.location);
        }
        ++i;
    }
}

std::vector<Range> rangesBetweenStrings(const QString& text, const QString& start, const QString& end)
{
    std::vector<Range> ranges;
    qsizetype from = 0;
    while (true) {
        const qsizetype open = text.indexOf(start, from);
        if (open < 0)
            break;
        const qsizetype close = text.indexOf(end, open + start.size());
        if (close < 0)
            break;
        ranges.push_back(Range{open, close + end.size() - open});
        from = close + end.size();
    }
    return ranges;
}

// The NAME="value" pairs of a tag such as <IMAGE PATH="intro.png" />; nothing when a value is
// unterminated or a name has no value.
std::optional<QMap<QString, QString>> tagStringAttributes(const QString& tag, QString* failure)
{
    QMap<QString, QString> attributes;
    qsizetype i = tag.indexOf(QLatin1Char(' '));
    const qsizetype end = tag.size() - 2;
    while (i >= 0 && i < end) {
        while (i < end && tag[i].isSpace())
            ++i;
        if (i >= end)
            break;
        const qsizetype nameStart = i;
        while (i < end && tag[i] != QLatin1Char('=') && !tag[i].isSpace())
            ++i;
        const QString name = tag.mid(nameStart, i - nameStart).toUpper();
        if (i >= end || tag[i] != QLatin1Char('=')) {
            *failure = QStringLiteral("attribute %1 has no value").arg(name);
            return std::nullopt;
        }
        ++i;
        QString value;
        if (i < end && (tag[i] == QLatin1Char('"') || tag[i] == QLatin1Char('\''))) {
            const QChar quote = tag[i++];
            const qsizetype close = tag.indexOf(quote, i);
            if (close < 0 || close >= end) {
                *failure = QStringLiteral("value of %1 is not terminated").arg(name);
                return std::nullopt;
            }
            value = tag.mid(i, close - i);
            i = close + 1;
        } else {
            const qsizetype valueStart = i;
            while (i < end && !tag[i].isSpace())
                ++i;
            value = tag.mid(valueStart, i - valueStart);
        }
        attributes.insert(name, value);
    }
    return attributes;
}

std::optional<AttributedString> attributedStringWithAttachmentFromURL(const QString& path)
{
    Error error;
    std::optional<QByteArray> contents =
        readRegularFile(QUrl::fromLocalFile(path), kMaxTagImageBytes, &error);
    if (!contents) {
        logLine(QStringLiteral("The picture %1 is left out: %2").arg(path, error.localizedFailureReason()));
        return std::nullopt;
    }
    auto wrapper = FileWrapper::makeRegularFile(std::move(*contents));
    wrapper->setFilename(QFileInfo(path).fileName());
    wrapper->setPreferredFilename(QFileInfo(path).fileName());
    auto attachment = std::make_shared<TextAttachment>(wrapper);
    return AttributedString(QString(QChar(kAttachmentCharacter)),
                            AttributeDictionary{{kAttachmentAttributeName, AttributeValue(attachment)}});
}

void expandImageTags(MutableAttributedString& text, const QUrl& packageURL)
{
    const std::vector<Range> tags =
        rangesBetweenStrings(text.string(), QStringLiteral("<IMAGE"), QStringLiteral("/>"));
    const QString packagePath = QDir::cleanPath(packageURL.toLocalFile());
    for (auto it = tags.rbegin(); it != tags.rend(); ++it) {
        QString failure;
        const auto attributes = tagStringAttributes(text.substring(*it), &failure);
        if (!attributes) {
            logLine(QStringLiteral("tagStringAttributes error = %1").arg(failure));
            continue;
        }
        const QString path =
            QDir::cleanPath(packagePath + QLatin1Char('/') + attributes->value(QStringLiteral("PATH")));
        // Even a bundled document may only name pictures inside its own package, and a link inside
        // it may not lead out of it.
        if (!path.startsWith(packagePath + QLatin1Char('/')))
            continue;
        const QString canonicalPackage = QFileInfo(packagePath).canonicalFilePath();
        if (canonicalPackage.isEmpty() ||
            !QFileInfo(path).canonicalFilePath().startsWith(canonicalPackage + QLatin1Char('/')))
            continue;
        if (const auto image = attributedStringWithAttachmentFromURL(path))
            NSMutableAttributedStringHVAdditions::replaceCharactersInRange(text, *it, *image, true);
    }
}

bool parsePropertyList(const QByteArray& data, const QUrl& url, PlistDictionary* root, Error* error)
{
    Error parseError;
    const auto plist = PropertyListSerialization::propertyListWithData(data, nullptr, &parseError);
    if (!plist) {
        logLine(QStringLiteral("Error creating documentPlist"));
        setError(error, underChosenFile(parseError, url));
        return false;
    }
    if (!_isPlistObject(*plist, OVPlistClass::Dictionary, QString(), url, error))
        return false;
    *root = plist->dictionary();
    return true;
}

void convertOlderBookmarks(MutableAttributedString& text)
{
    const auto runs = NSAttributedStringHVAdditions::allAttributesNamed(text, kAttachmentAttributeName);
    if (!runs)
        return;
    static const QString kPrefix = QStringLiteral("OVBookmark ");
    static const QString kSuffix = QStringLiteral(".tiff");
    for (auto it = runs->rbegin(); it != runs->rend(); ++it) {
        const auto attachment = it->value ? it->value->attachment() : nullptr;
        if (!attachment || !attachment->fileWrapper())
            continue;
        const QString& name = attachment->fileWrapper()->preferredFilename();
        if (name.size() < 18 || !name.startsWith(kPrefix) || !name.endsWith(kSuffix))
            continue;
        const qsizetype space = name.indexOf(QLatin1Char(' '), 11);
        const qsizetype nameEnd = name.size() - kSuffix.size();
        if (space < 0 || space + 1 >= nameEnd)
            continue;
        const auto bookmark = OVBookmark::bookmarkWithName(name.mid(space + 1, nameEnd - space - 1));
        const AttributedString mark(
            QString(QChar(kAttachmentCharacter)),
            AttributeDictionary{{kAttachmentAttributeName, AttributeValue(bookmark->textAttachment())}});
        NSMutableAttributedStringHVAdditions::replaceCharactersInRange(text, Range{it->range.location, 1},
                                                                       mark, true);
    }
}

} // namespace

OVDocumentPackageReader::Options OVDocumentPackageReader::Options::fromUserDefaults()
{
    Options options;
    options.attemptToFixBookmarkShiftBug =
        UserDefaults::shared().boolForKey(OVAttemptToFixBookmarkShiftBugKey);
    return options;
}

namespace {

QStringList& shippedFolders()
{
    static QStringList folders;
    return folders;
}

// Links and "..": a shipped file reached through another spelling of its path is still shipped.
QString resolvedPath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

} // namespace

void OVDocumentPackageReader::setShippedFolders(const QStringList& folders)
{
    shippedFolders() = folders;
}

bool OVDocumentPackageReader::isInAppBundle(const QUrl& url)
{
    if (!url.isLocalFile() || !QCoreApplication::instance())
        return false;
    const QString path = resolvedPath(url.toLocalFile());
    const QString applicationFolder = QDir::cleanPath(QCoreApplication::applicationDirPath());
    QStringList folders{applicationFolder, applicationFolder + QStringLiteral("/../share/orvane")};
    folders += shippedFolders();
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        const QString resolved = resolvedPath(folder);
        if (path.startsWith(resolved + QLatin1Char('/')))
            return true;
    }
    return false;
}

bool OVDocumentPackageReader::readPackage(const QUrl& url, const Options& options, OVLoadedDocumentInfo* info,
                                          Error* error)
{
    // The package, its text folder and its properties together, within the companions' bounds.
    FileWrapper::ReadingLimits limits;
    limits.maxDepth = kMaxContentDepth + 1;
    limits.maxEntries = kMaxContentEntries + 16;
    limits.maxTotalBytes = kMaxContentBytes + kMaxPropertiesBytes;
    Error wrapperError;
    const auto package = FileWrapper::readFromURL(url, limits, &wrapperError);
    if (!package) {
        logLine(QStringLiteral("Error: fileWrapper is nil"));
        if (wrapperError.domain() == kCocoaErrorDomain && wrapperError.code() == kFileReadTooLargeError) {
            // Too long a script is told under the package's name, never a member's.
            Error tooLarge = Error::cocoa(kFileReadTooLargeError, url, wrapperError.localizedFailureReason());
            tooLarge.setUserInfoValue(kUnderlyingErrorKey, QVariant::fromValue(wrapperError));
            setError(error, tooLarge);
            return false;
        }
        // A member that cannot be read makes the whole package unreadable.
        setError(error, wrapperError.fileURL().isEmpty() || wrapperError.fileURL() == url
                            ? withURL(wrapperError, url)
                            : underChosenFile(wrapperError, url));
        return false;
    }
    return readPackage(*package, url, options, info, error);
}

bool OVDocumentPackageReader::readPackage(const FileWrapper& package, const QUrl& url, const Options& options,
                                          OVLoadedDocumentInfo* info, Error* error)
{
    if (!package.isDirectory()) {
        logLine(QStringLiteral("Error: fileWrapper is not a directory"));
        setError(error, corrupt(url));
        return false;
    }
    const auto& children = package.fileWrappers();
    const auto content = children.value(OVDocumentPackageContentFileName);
    const auto propertiesFile = children.value(OVDocumentPackagePropertiesFileName);
    if (!content || !propertiesFile) {
        logLine(QStringLiteral("Error: fileWrapper is missing %1 or %2")
                    .arg(OVDocumentPackageContentFileName, OVDocumentPackagePropertiesFileName));
        setError(error, corrupt(url));
        return false;
    }
    OVLoadedDocumentInfo loaded;
    loaded.isInternal = options.isInAppBundle ? options.isInAppBundle(url) : isInAppBundle(url);
    loaded.content = std::make_shared<MutableAttributedString>();
    MutableAttributedString& text = *loaded.content;

    DocumentAttributes attributes;
    Error textError;
    if (!Rtfd::read(*content, text, &attributes, &textError)) {
        logLine(QStringLiteral("Error: Could not create documentContent"));
        setError(error, underChosenFile(textError, url));
        return false;
    }
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        loaded.values.insert(it.key(), it.value());

    // The text is whole from here on: damaged properties no longer keep the user from the script.
    // They stay at their defaults, and the reader says so.
    const QString propertiesLeftOut = QStringLiteral("the script’s settings (its speed, selection, "
                                                     "window and properties), which are at their defaults");
    PlistDictionary plist;
    bool propertiesRead = false;
    if (!propertiesFile->isRegularFile()) {
        // Links and folders under the properties' name hold no data to read.
        logLine(QStringLiteral("Error creating data"));
    } else if (propertiesFile->regularFileContents().size() > kMaxPropertiesBytes) {
        logLine(QStringLiteral("Error: %1 is larger than %2 bytes")
                    .arg(OVDocumentPackagePropertiesFileName)
                    .arg(kMaxPropertiesBytes));
    } else if (parsePropertyList(propertiesFile->regularFileContents(), url, &plist, nullptr)) {
        // Both are checked before the gate reads them, so a damaged file cannot pass as a newer one.
        const PlistValue formatNumber = plist.value(OVDocumentFileFormatNumberKey);
        const PlistValue appVersion = plist.value(OVDocumentAppVersionKey);
        propertiesRead =
            _isPlistObject(formatNumber, OVPlistClass::Number, OVDocumentFileFormatNumberKey, url, nullptr) &&
            _isPlistObject(appVersion, OVPlistClass::String, OVDocumentAppVersionKey, url, nullptr);
        if (propertiesRead &&
            (formatNumber.isNull() || unsignedValue(formatNumber) > OVDocumentFileFormatNumberCurrent)) {
            setError(error,
                     NSErrorHVAdditions::halvestoErrorFileCreatedWithNewerVersion(url, appVersion.string()));
            return false;
        }
    }
    if (!propertiesRead) {
        plist = PlistDictionary();
        loaded.leftOut << propertiesLeftOut;
    }

    const DocumentAttributes textAttributes = attributes;
    for (const auto& [key, value] : plist)
        loaded.values.insert(key, wrap(value));

    int bookmarksLeftOutCount = 0;
    if (!reinsertBookmarks(text, plist.value(OVDocumentBookmarkItemArrayKey), url, &bookmarksLeftOutCount,
                           error))
        return false;
    if (bookmarksLeftOutCount > 0)
        loaded.leftOut << bookmarksLeftOut(bookmarksLeftOutCount);
    if (options.attemptToFixBookmarkShiftBug)
        fixShiftedBookmarks(text);
    if (loaded.isInternal)
        expandImageTags(text, url);

    // The text read from Content.rtfd is the content; a "content" key of the file never stands in for it.
    loaded.values.remove(OVDocumentPrompterContentKey);
    if (!checkLoadedDocumentInfo(loaded, url, nullptr)) {
        // Values of the wrong kind: the properties are damaged; the text's own attributes still hold.
        if (propertiesRead)
            loaded.leftOut << propertiesLeftOut;
        loaded.values.clear();
        for (auto it = textAttributes.constBegin(); it != textAttributes.constEnd(); ++it)
            loaded.values.insert(it.key(), it.value());
        if (!checkLoadedDocumentInfo(loaded, url, error))
            return false;
    }
    if (info)
        *info = std::move(loaded);
    return true;
}

bool OVDocumentPackageReader::readPrompterDocument(const QUrl& url, const QString& type,
                                                   const Options& options, OVLoadedDocumentInfo* info,
                                                   Error* error)
{
    const bool isInternal = options.isInAppBundle ? options.isInAppBundle(url) : isInAppBundle(url);
    const std::optional<QByteArray> data = readRegularFile(url, kMaxPrompterDocumentBytes, error);
    if (!data) {
        logLine(QStringLiteral("Error creating data"));
        return false;
    }
    return readPrompterDocumentData(*data, url, type, isInternal, info, error);
}

bool OVDocumentPackageReader::readPrompterDocumentData(const QByteArray& data, const QUrl& url,
                                                       const QString& type, bool isInternal,
                                                       OVLoadedDocumentInfo* info, Error* error)
{
    PlistDictionary plist;
    if (!parsePropertyList(data, url, &plist, error))
        return false;
    const PlistValue contents = plist.value(OVPrompterDocumentContentsKey);
    if (!_isPlistObject(contents, OVPlistClass::Data, OVPrompterDocumentContentsKey, url, error))
        return false;
    if (contents.isNull()) {
        logLine(QStringLiteral("Error: could not create document content from URL = %1 of type = %2")
                    .arg(url.toString(), type));
        setError(error, corrupt(url));
        return false;
    }

    OVLoadedDocumentInfo loaded;
    loaded.isInternal = isInternal;
    loaded.content = std::make_shared<MutableAttributedString>();
    DocumentAttributes attributes;
    Error textError;
    if (!Rtfd::readData(contents.data(), *loaded.content, &attributes, &textError)) {
        logLine(QStringLiteral("Error creating documentContent"));
        setError(error, withURL(textError, url));
        return false;
    }
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        loaded.values.insert(it.key(), it.value());
    convertOlderBookmarks(*loaded.content);

    PlistArray selected;
    if (const PlistValue* range = plist.find(OVPrompterDocumentSelectedRangeKey))
        selected.push_back(*range);
    loaded.values.insert(OVDocumentPrompterSelectedRangesKey, wrap(std::move(selected)));
    if (const PlistValue* position = plist.find(OVPrompterDocumentScrollbarPositionKey))
        loaded.values.insert(OVDocumentPrompterScrollbarPositionKey, wrap(*position));
    if (const PlistValue* speed = plist.find(OVPrompterDocumentSpeedKey))
        loaded.values.insert(OVDocumentPrompterSpeedKey, wrap(*speed));

    const PlistValue origin = plist.value(OVPrompterDocumentWindowPositionKey);
    const PlistValue size = plist.value(OVPrompterDocumentWindowSizeKey);
    if (!_isPlistObject(origin, OVPlistClass::String, OVPrompterDocumentWindowPositionKey, url, error) ||
        !_isPlistObject(size, OVPlistClass::String, OVPrompterDocumentWindowSizeKey, url, error))
        return false;
    // A file that kept no window leaves the frame to the window's own default, not a zero rectangle.
    if (!origin.isNull() || !size.isNull()) {
        const Rect frame(pointFromString(origin.string()), sizeFromString(size.string()));
        loaded.values.insert(OVDocumentWindowFrameKey, wrap(stringFromRect(frame)));
    }

    const PlistValue background = plist.value(OVPrompterDocumentBackgroundColorKey);
    if (background.isData())
        if (const auto color = OVLegacyColorArchive::unarchivedColor(background.data()))
            loaded.values.insert(NSBackgroundColorDocumentAttribute, QVariant::fromValue(*color));

    if (!checkLoadedDocumentInfo(loaded, url, error))
        return false;
    if (info)
        *info = std::move(loaded);
    return true;
}
