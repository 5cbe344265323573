#include "document/OVDocumentPackageWriter.h"

#include "document/OVDocumentPackageConstants.h"
#include "document/OVDocumentPropertiesWindowController.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/hvkit/HVVersion.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/Rtfd.h"
#include "platform/text/TextAttachment.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "textutil/NSStringHVAdditions.h"

#include <QDateTime>
#include <QHash>

#include <map>
#include <optional>
#include <unordered_map>

namespace {

void logLine(const QString& line)
{
    qWarning("%s", qUtf8Printable(line));
}

QString nonEmpty(const std::optional<QString>& first, const std::optional<QString>& second)
{
    if (first && !first->isEmpty())
        return *first;
    if (second && !second->isEmpty())
        return *second;
    return QString();
}

// The archive to store for a bookmark attachment: its live bookmark's, else (an attachment that
// never got a live cell) the bookmark its file already holds, else an unnamed one, so that no
// position is lost.
std::shared_ptr<OVBookmark> bookmarkToArchive(const TextAttachment& attachment)
{
    if (auto bookmark = NSTextAttachmentOVBookmarkAdditions::bookmark(attachment))
        return bookmark;
    if (attachment.fileWrapper())
        if (auto stored = OVBookmark::unarchivedBookmark(attachment.fileWrapper()->regularFileContents()))
            return stored;
    return OVBookmark::bookmark();
}

struct BookmarkItem {
    QByteArray data;
    QString locations;
};

struct Collected {
    std::vector<BookmarkItem> items;
    PlistArray bookmarkNames;
    PlistArray attachmentNames;
    std::vector<std::shared_ptr<FileWrapper>> files;
    std::vector<qsizetype> fileLocations;
};

Collected collectAttachments(const MutableAttributedString& text)
{
    Collected collected;
    QHash<QByteArray, size_t> itemByData;
    // Equal bookmarks archive alike: each is archived once, and its equals join its item.
    std::unordered_multimap<size_t, std::pair<std::shared_ptr<OVBookmark>, size_t>> itemByBookmark;
    const auto ranges = NSStringHVAdditions::attachmentRanges(text.string());
    if (!ranges)
        return collected;
    for (const Range& range : *ranges) {
        const auto attachment = text.attribute(kAttachmentAttributeName, range.location).attachment();
        if (!attachment)
            continue;
        if (NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment)) {
            const auto bookmark = bookmarkToArchive(*attachment);
            const QString location = QString::number(range.location);
            const size_t hash = bookmark->hash();
            std::optional<size_t> index;
            const auto [first, last] = itemByBookmark.equal_range(hash);
            for (auto it = first; it != last && !index; ++it)
                if (it->second.first->isEqual(bookmark.get()))
                    index = it->second.second;
            if (!index) {
                const QByteArray data = bookmark->archivedData();
                const auto it = itemByData.constFind(data);
                if (it == itemByData.constEnd()) {
                    index = collected.items.size();
                    itemByData.insert(data, *index);
                    collected.items.push_back({data, QString()});
                } else {
                    index = *it;
                }
                itemByBookmark.emplace(hash, std::make_pair(bookmark, *index));
            }
            BookmarkItem& item = collected.items[*index];
            if (!item.locations.isEmpty())
                item.locations += OVDocumentBookmarkItemLocationSeparatorKey;
            item.locations += location;
            collected.bookmarkNames.push_back(nonEmpty(bookmark->name(), bookmark->transientName()));
            continue;
        }
        const auto& wrapper = attachment->fileWrapper();
        if (wrapper && wrapper->isRegularFile()) {
            collected.files.push_back(wrapper);
            collected.fileLocations.push_back(range.location);
        }
        collected.attachmentNames.push_back(
            wrapper ? nonEmpty(wrapper->preferredFilename(), wrapper->filename()) : QString());
    }
    return collected;
}

// Equal pictures pasted twice are stored once: each later wrapper with the same bytes gives way to
// the first one. Contents are grouped by hash first, so only likely equals are compared byte by byte.
void shareEqualFiles(MutableAttributedString& text, Collected& collected)
{
    std::vector<size_t> replaced;
    std::multimap<size_t, size_t> byHash;
    for (size_t j = 0; j < collected.files.size(); ++j) {
        const QByteArray& contents = collected.files[j]->regularFileContents();
        const size_t hash = qHash(contents);
        bool shared = false;
        const auto [first, last] = byHash.equal_range(hash);
        for (auto it = first; it != last; ++it) {
            const auto& earlier = collected.files[it->second];
            if (earlier == collected.files[j]) {
                shared = true;
                break;
            }
            if (earlier->regularFileContents() == contents) {
                collected.files[j] = earlier;
                replaced.push_back(j);
                shared = true;
                break;
            }
        }
        if (!shared)
            byHash.emplace(hash, j);
    }
    if (replaced.empty())
        return;
    text.beginEditing();
    for (size_t j : replaced) {
        const qsizetype location = collected.fileLocations[j];
        const auto old = text.attribute(kAttachmentAttributeName, location).attachment();
        auto attachment = std::make_shared<TextAttachment>(collected.files[j]);
        if (old)
            attachment->setBounds(old->bounds());
        text.addAttribute(kAttachmentAttributeName, AttributeValue(std::move(attachment)),
                          Range{location, 1});
    }
    text.endEditing();
}

} // namespace

const QStringList& OVDocumentPackageWriter::mappedMetadataKeyPairs()
{
    return OVDocumentPropertiesWindowController::mappedMetadataKeyPairs();
}

PlistDictionary OVDocumentPackageWriter::propertiesAndPrepareText(Input& input)
{
    MutableAttributedString& text = *input.text;
    Collected collected = collectAttachments(text);
    shareEqualFiles(text, collected);

    PlistArray bookmarkItems;
    bookmarkItems.reserve(collected.items.size());
    for (const BookmarkItem& item : collected.items) {
        PlistDictionary entry;
        entry.insert(OVDocumentBookmarkItemDataKey, item.data);
        entry.insert(OVDocumentBookmarkItemLocationsKey, item.locations);
        bookmarkItems.push_back(std::move(entry));
    }
    NSMutableAttributedStringOVBookmarkAdditions::removeAllBookmarks(text);

    PlistDictionary extended;
    extended.insert(OVDocumentPropertiesExtendedMetadataBookmarkNamesKey, std::move(collected.bookmarkNames));
    extended.insert(OVDocumentPropertiesExtendedMetadataAttachmentNamesKey,
                    std::move(collected.attachmentNames));
    for (const auto& [key, value] : input.extendedMetadataInfo)
        if (!value.isNull())
            extended.insert(key, value);

    PlistDictionary properties;
    if (input.selectedRanges) {
        PlistArray ranges;
        for (const QString& range : *input.selectedRanges)
            ranges.push_back(range);
        properties.insert(OVDocumentPrompterSelectedRangesKey, std::move(ranges));
    }
    properties.insert(OVDocumentBookmarkItemArrayKey, std::move(bookmarkItems));
    if (input.scrollbarPosition) {
        properties.insert(OVDocumentPrompterScrollbarPositionKey, *input.scrollbarPosition);
        if (input.scrollbarAnchor) {
            OVScrollbarAnchor anchor = *input.scrollbarAnchor;
            anchor.scrollbarPosition = *input.scrollbarPosition;
            properties.insert(OVScrollbarAnchorKey, anchor.propertyListValue());
        }
    }
    if (input.speed)
        properties.insert(OVDocumentPrompterSpeedKey, *input.speed);
    if (input.windowFrame)
        properties.insert(OVDocumentWindowFrameKey, *input.windowFrame);
    properties.insert(OVDocumentExtendedMetadataKey, std::move(extended));
    properties.insert(OVDocumentFileFormatNumberKey,
                      PlistValue::unsignedInteger(OVDocumentFileFormatNumberCurrent));
    properties.insert(OVDocumentAppVersionKey, HVVersion::appVersion().stringValue());
    properties.insert(OVDocumentAppBuildNumber, HVVersion::appBuildVersion().integerValue());
    if (input.recordsSystemVersion)
        properties.insert(OVDocumentSystemVersionKey, HVVersion::runningSystemVersion().stringValue());
    return properties;
}

DocumentAttributes OVDocumentPackageWriter::contentDocumentAttributes(const Input& input)
{
    DocumentAttributes attributes;
    attributes.insert(NSDocumentTypeDocumentAttribute, NSRTFDTextDocumentType);
    if (input.backgroundColor)
        attributes.insert(NSBackgroundColorDocumentAttribute, QVariant::fromValue(*input.backgroundColor));
    const QStringList& pairs = mappedMetadataKeyPairs();
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
        const QVariant value = input.metadataInfo.value(pairs[i + 1]);
        if (value.isValid() && !value.isNull())
            attributes.insert(pairs[i], value);
    }
    for (auto it = input.unusedMetadataInfo.constBegin(); it != input.unusedMetadataInfo.constEnd(); ++it) {
        if (it.key() == NSModificationTimeDocumentAttribute || it.key() == NSCreationTimeDocumentAttribute ||
            it.key() == NSEditorDocumentAttribute)
            continue;
        attributes.insert(it.key(), it.value());
    }
    return attributes;
}

std::shared_ptr<FileWrapper> OVDocumentPackageWriter::packageFileWrapper(Input& input, const QUrl& url,
                                                                         Error* error)
{
    if (!input.text) {
        setError(error, Error::cocoa(kFileWriteUnknownError, url));
        return nullptr;
    }
    const PlistDictionary properties = propertiesAndPrepareText(input);
    auto content = Rtfd::fileWrapper(*input.text, contentDocumentAttributes(input));
    if (!content) {
        const Error contentError = Error::cocoa(kFileWriteUnknownError, url);
        logLine(QStringLiteral("Error constructing contentFileWrapper. error = %1")
                    .arg(contentError.localizedDescription()));
        setError(error, contentError);
        return nullptr;
    }
    Error dataError;
    const auto data = PropertyListSerialization::dataWithPropertyList(
        properties, PropertyListSerialization::Format::Xml, &dataError);
    if (!data) {
        logLine(QStringLiteral("Error generating data. error = %1").arg(dataError.localizedDescription()));
        setError(error, dataError);
        return nullptr;
    }
    auto propertiesFile = FileWrapper::makeRegularFile(*data);
    if (!propertiesFile) {
        logLine(QStringLiteral("Error constructing propertiesFileWrapper"));
        setError(error, Error::cocoa(kFileWriteUnknownError, url));
        return nullptr;
    }
    propertiesFile->setPreferredFilename(OVDocumentPackagePropertiesFileName);
    content->setPreferredFilename(OVDocumentPackageContentFileName);
    auto package = FileWrapper::makeDirectory(
        {{OVDocumentPackagePropertiesFileName, propertiesFile}, {OVDocumentPackageContentFileName, content}});
    if (!package) {
        logLine(QStringLiteral("Error constructing directoryFileWrapper"));
        setError(error, Error::cocoa(kFileWriteUnknownError, url));
        return nullptr;
    }
    return package;
}

bool OVDocumentPackageWriter::writeToURL(const QUrl& url, const QUrl& originalContentsURL, Input& input,
                                         Error* error)
{
    const auto package = packageFileWrapper(input, url, error);
    if (!package)
        return false;
    Error writeError;
    if (!package->writeToURL(url, FileWrapper::WritingAtomic | FileWrapper::WritingWithNameUpdating,
                             originalContentsURL, &writeError)) {
        logLine(QStringLiteral("Error writing result fileWrapper"));
        if (writeError.fileURL().isEmpty())
            writeError.setUserInfoValue(kURLErrorKey, url);
        setError(error, writeError);
        return false;
    }
    return true;
}
