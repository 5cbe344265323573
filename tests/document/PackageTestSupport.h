#pragma once

// Texts with bookmarks and pictures, and packages on disk, for the document format tests.
#include "document/OVDocumentPackageConstants.h"
#include "document/OVDocumentPackageReader.h"
#include "document/OVDocumentPackageWriter.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/Rtfd.h"
#include "platform/text/TextAttachment.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmark.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace packagetest {

inline const QString kMark = QString(QChar(0xFFFC));

inline AttributedString attachmentString(std::shared_ptr<TextAttachment> attachment,
                                         const AttributeDictionary& extra = {})
{
    AttributeDictionary attributes = extra;
    attributes.insert(kAttachmentAttributeName, AttributeValue(std::move(attachment)));
    return AttributedString(kMark, attributes);
}

inline std::shared_ptr<TextAttachment> image(const QByteArray& bytes, const QString& name)
{
    auto wrapper = FileWrapper::makeRegularFile(bytes);
    wrapper->setPreferredFilename(name);
    return std::make_shared<TextAttachment>(wrapper);
}

inline void insertBookmark(MutableAttributedString& text, qsizetype index, const std::optional<QString>& name)
{
    auto bookmark = std::make_shared<OVBookmark>(name);
    text.insert(attachmentString(bookmark->textAttachment(),
                                 text.attributesAtIndex(std::max<qsizetype>(0, index - 1))),
                index);
}

// Positions and names of the bookmarks of a text, in order.
inline std::vector<std::pair<qsizetype, QString>> bookmarksOf(const AttributedString& text)
{
    std::vector<std::pair<qsizetype, QString>> found;
    const auto ranges = NSAttributedStringOVBookmarkAdditions::bookmarkCharacterRanges(text);
    if (!ranges)
        return found;
    for (const Range& range : *ranges) {
        const auto attachment = text.attribute(kAttachmentAttributeName, range.location).attachment();
        const auto bookmark = NSTextAttachmentOVBookmarkAdditions::bookmark(*attachment);
        found.emplace_back(range.location,
                           bookmark ? bookmark->name().value_or(QStringLiteral("<none>")) : "<dead>");
    }
    return found;
}

// A package written by hand: a Content.rtfd made from text and the given Properties.plist bytes.
inline bool writeRawPackage(const QString& path, const AttributedString& text, const QByteArray& properties)
{
    auto content = Rtfd::fileWrapper(text, {{NSDocumentTypeDocumentAttribute, NSRTFDTextDocumentType}});
    auto package = FileWrapper::makeDirectory(
        {{OVDocumentPackageContentFileName, content},
         {OVDocumentPackagePropertiesFileName, FileWrapper::makeRegularFile(properties)}});
    return package &&
           package->writeToURL(QUrl::fromLocalFile(path), FileWrapper::WritingAtomic, QUrl(), nullptr);
}

inline QByteArray xml(const PlistDictionary& dictionary)
{
    return *PropertyListSerialization::dataWithPropertyList(dictionary,
                                                            PropertyListSerialization::Format::Xml);
}

inline PlistDictionary minimalProperties()
{
    PlistDictionary properties;
    properties.insert(OVDocumentBookmarkItemArrayKey, PlistArray{});
    properties.insert(OVDocumentFileFormatNumberKey, 5);
    properties.insert(OVDocumentAppVersionKey, "1.0");
    return properties;
}

inline PlistDictionary bookmarkItem(const QByteArray& data, const QString& locations)
{
    PlistDictionary item;
    item.insert(OVDocumentBookmarkItemDataKey, data);
    item.insert(OVDocumentBookmarkItemLocationsKey, locations);
    return item;
}

inline OVDocumentPackageReader::Options plainOptions()
{
    OVDocumentPackageReader::Options options;
    options.isInAppBundle = [](const QUrl&) { return false; };
    options.attemptToFixBookmarkShiftBug = false;
    return options;
}

inline PlistDictionary readProperties(const QString& packagePath)
{
    QFile file(QDir(packagePath).filePath(OVDocumentPackagePropertiesFileName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const auto plist = PropertyListSerialization::propertyListWithData(file.readAll());
    return plist ? plist->dictionary() : PlistDictionary();
}

} // namespace packagetest
