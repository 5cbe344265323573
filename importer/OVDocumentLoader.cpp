#include "importer/OVDocumentLoader.h"

#include "textutil/NSAttributedStringHVAdditions.h"
#include "textutil/NSMutableAttributedStringHVAdditions.h"
#include "importer/OVImporterConstants.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/text/Rtfd.h"
#include "platform/text/TextAttachment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <map>

#include <sys/stat.h>

using namespace OVImporter;

namespace {

// More distinct bookmark positions than this is no script anyone wrote; placing them would only
// make the indexer spin.
constexpr qsizetype kMaxBookmarkLocations = 65536;

// Package members are looked at without following links: a link named "Content.rtfd" could point
// anywhere on the disk, and the indexer would then report a file the package does not hold.
bool isMemberOfKind(const QString& path, mode_t kind)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return (info.st_mode & S_IFMT) == kind;
}

QString fontDisplayName(const Font& font)
{
    QString name = font.familyName.isEmpty() ? font.fontName : font.familyName;
    if (font.bold && font.italic)
        name += QStringLiteral(" Bold Italic");
    else if (font.bold)
        name += QStringLiteral(" Bold");
    else if (font.italic)
        name += QStringLiteral(" Italic");
    return name;
}

// The plain value of a metadata entry, for the merged metadata dictionary; nothing for types no
// metadata key ever holds.
QVariant plainValue(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::String:
        return value.string();
    case PlistValue::Type::Integer:
        return value.isUnsignedInteger() ? QVariant(value.unsignedValue()) : QVariant(value.integer());
    case PlistValue::Type::Real:
        return value.real();
    case PlistValue::Type::Boolean:
        return value.boolean();
    case PlistValue::Type::Array: {
        QVariantList list;
        for (const PlistValue& element : value.array()) {
            const QVariant plain = plainValue(element);
            if (plain.isValid())
                list.append(plain);
        }
        return list;
    }
    default:
        return {};
    }
}

// Bookmark data by character index, or nothing when the list is malformed. Positions that are not
// numbers name no place in the text and are skipped like positions past its end.
std::optional<std::map<qint64, QByteArray>> bookmarkLocations(const PlistDictionary& properties)
{
    std::map<qint64, QByteArray> locations;
    const PlistValue* bookmarks = properties.find(OVDocumentBookmarkItemArrayKey);
    if (!bookmarks)
        return locations;
    if (!bookmarks->isArray())
        return std::nullopt;
    for (const PlistValue& item : bookmarks->array()) {
        if (!item.isDictionary())
            return std::nullopt;
        const PlistValue* data = item.dictionary().find(OVDocumentBookmarkItemDataKey);
        const PlistValue* places = item.dictionary().find(OVDocumentBookmarkItemLocationsKey);
        if (!data || !data->isData() || !places || !places->isString())
            return std::nullopt;
        const QStringList parts =
            places->string().split(OVDocumentBookmarkItemLocationSeparatorKey, Qt::SkipEmptyParts);
        for (const QString& part : parts) {
            bool ok = false;
            const qint64 index = part.trimmed().toLongLong(&ok);
            if (!ok)
                continue;
            locations[index] = data->data();
            if (qsizetype(locations.size()) > kMaxBookmarkLocations)
                return std::nullopt;
        }
    }
    return locations;
}

// The format number must be there, be a whole number and be one this loader knows.
bool hasReadableFormatNumber(const PlistDictionary& properties)
{
    const PlistValue* number = properties.find(OVDocumentFileFormatNumberKey);
    if (!number || !number->isInteger())
        return false;
    if (number->isUnsignedInteger())
        return number->unsignedValue() <= OVDocumentFileFormatNumberCurrent;
    return number->integer() >= 0 && quint64(number->integer()) <= OVDocumentFileFormatNumberCurrent;
}

} // namespace

std::unique_ptr<OVDocumentLoader> OVDocumentLoader::loadDocumentAtPath(const QString& path,
                                                                       const QString& referencingBundle,
                                                                       const Options& options)
{
    return loadDocumentAtURL(QUrl::fromLocalFile(path), referencingBundle, options);
}

std::unique_ptr<OVDocumentLoader>
OVDocumentLoader::loadDocumentAtURL(const QUrl& url, const QString& referencingBundle, const Options& options)
{
    std::unique_ptr<OVDocumentLoader> loader(new OVDocumentLoader);
    loader->m_options = options;
    loader->m_referencingBundle = referencingBundle;
    if (!loader->_loadDocumentAtURL(url))
        return nullptr;
    return loader;
}

bool OVDocumentLoader::isNativePackage(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && info.suffix() == OVDocumentPackageExtension;
}

bool OVDocumentLoader::_loadDocumentAtURL(const QUrl& url)
{
    if (!url.isLocalFile())
        return false;
    const QString packagePath = QDir::cleanPath(url.toLocalFile());
    if (!isNativePackage(packagePath))
        return false;
    const QString contentPath = packagePath + QLatin1Char('/') + OVDocumentPackageContentFileName;
    const QString propertiesPath = packagePath + QLatin1Char('/') + OVDocumentPackagePropertiesFileName;
    if (!isMemberOfKind(contentPath, S_IFDIR) || !isMemberOfKind(propertiesPath, S_IFREG))
        return false;

    FileWrapper::ReadingLimits contentLimits;
    contentLimits.maxDepth = kMaxContentDepth;
    contentLimits.maxEntries = kMaxContentEntries;
    contentLimits.maxTotalBytes = kMaxContentBytes;
    const auto content = FileWrapper::readFromURL(QUrl::fromLocalFile(contentPath), contentLimits, nullptr);
    if (!content || !content->isDirectory())
        return false;
    MutableAttributedString text;
    DocumentAttributes attributes;
    if (!Rtfd::read(*content, text, &attributes, nullptr))
        return false;

    FileWrapper::ReadingLimits propertiesLimits;
    propertiesLimits.maxDepth = 0;
    propertiesLimits.maxEntries = 1;
    propertiesLimits.maxTotalBytes = kMaxPropertiesBytes;
    const auto propertiesFile =
        FileWrapper::readFromURL(QUrl::fromLocalFile(propertiesPath), propertiesLimits, nullptr);
    if (!propertiesFile || !propertiesFile->isRegularFile())
        return false;
    const std::optional<PlistValue> list =
        PropertyListSerialization::propertyListWithData(propertiesFile->regularFileContents());
    if (!list || !list->isDictionary())
        return false;
    const PlistDictionary& properties = list->dictionary();
    if (!hasReadableFormatNumber(properties))
        return false;
    const auto locations = bookmarkLocations(properties);
    if (!locations)
        return false;

    AttributedString placeholder{QString(QChar(kAttachmentCharacter))};
    if (m_options.useBookmarkImages && !m_referencingBundle.isEmpty() &&
        !m_options.stripBookmarkAttachments) {
        QFile image(_resourceURLForName(QStringLiteral("Bookmark"), QStringLiteral("tiff"),
                                        QStringLiteral("Images")));
        if (!image.open(QIODevice::ReadOnly))
            return false;
        auto wrapper = FileWrapper::makeRegularFile(image.readAll());
        wrapper->setPreferredFilename(OVBookmarkIdentifierPrefixKey);
        placeholder =
            AttributedString(QString(QChar(kAttachmentCharacter)),
                             {{kAttachmentAttributeName, std::make_shared<TextAttachment>(wrapper)}});
    }

    // The stored positions count the text with every bookmark in it; taken in ascending order, each
    // placeholder lands where its bookmark was.
    text.beginEditing();
    for (const auto& [index, data] : *locations) {
        if (index < 0 || index > text.length())
            continue;
        NSMutableAttributedStringHVAdditions::insertAttributedString(text, placeholder, qsizetype(index),
                                                                     true);
    }
    text.endEditing();
    m_documentAttributedString = std::move(text);

    const QVariant background = attributes.value(NSBackgroundColorDocumentAttribute);
    if (background.metaType() == QMetaType::fromType<Color>())
        m_documentBackgroundColor = background.value<Color>();

    attributes.remove(NSBackgroundColorDocumentAttribute);
    m_documentAttributes = attributes;
    m_metadataInfo = attributes;
    if (const PlistValue* extended = properties.find(OVDocumentExtendedMetadataKey);
        extended && extended->isDictionary()) {
        m_extendedMetadataInfo = extended->dictionary();
        // Extended entries join the document attributes but never replace one: a key the text file
        // owns is not the extended metadata's to change.
        for (const auto& [key, value] : m_extendedMetadataInfo) {
            if (m_documentAttributes.contains(key))
                continue;
            const QVariant plain = plainValue(value);
            if (plain.isValid())
                m_metadataInfo.insert(key, plain);
        }
    }
    m_documentInfo = properties;
    m_documentInfo.remove(OVDocumentExtendedMetadataKey);
    return true;
}

QString OVDocumentLoader::textContent() const
{
    QString text = m_documentAttributedString.string();
    text.remove(QChar(kAttachmentCharacter));
    return text;
}

QStringList OVDocumentLoader::usedFonts() const
{
    QSet<QString> names;
    const AttributedStringRuns runs =
        NSAttributedStringHVAdditions::allAttributesNamed(m_documentAttributedString, kFontAttributeName);
    if (runs) {
        for (const AttributedStringRun& run : *runs) {
            if (run.value && run.value->font())
                names.insert(fontDisplayName(*run.value->font()));
        }
    }
    QStringList sorted(names.begin(), names.end());
    sorted.sort();
    return sorted;
}

void OVDocumentLoader::setupBookmarksForPreviewing()
{
    if (m_options.stripBookmarkAttachments || m_referencingBundle.isEmpty())
        return;
    QFile image(
        _resourceURLForName(QStringLiteral("Atom"), QStringLiteral("tiff"), QStringLiteral("Images")));
    if (!image.open(QIODevice::ReadOnly))
        return;
    const QByteArray icon = image.readAll();
    MutableAttributedString copy = m_documentAttributedString;
    copy.enumerateAttribute(kAttachmentAttributeName, {0, copy.length()}, 0,
                            [&icon](const AttributeValue& value, const Range&, bool&) {
                                const auto attachment = value.attachment();
                                if (!attachment || !attachment->fileWrapper())
                                    return;
                                const QString& name = attachment->fileWrapper()->preferredFilename();
                                if (name.startsWith(OVBookmarkIdentifierPrefixKey) &&
                                    name.length() > OVBookmarkIdentifierPrefixKey.length())
                                    attachment->fileWrapper()->setIcon(icon);
                            });
    m_documentAttributedString = std::move(copy);
}

QString OVDocumentLoader::_resourceURLForName(const QString& name, const QString& extension,
                                              const QString& subdirectory) const
{
    if (m_referencingBundle.isEmpty())
        return {};
    return QDir(m_referencingBundle)
        .filePath(subdirectory + QLatin1Char('/') + name + QLatin1Char('.') + extension);
}
