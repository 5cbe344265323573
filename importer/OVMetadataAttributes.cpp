#include "importer/OVMetadataAttributes.h"

#include "importer/OVDocumentLoader.h"
#include "importer/OVImporterConstants.h"

#include <QJsonArray>

using namespace OVImporter;

namespace {

bool isString(const QVariant& value)
{
    return value.metaType() == QMetaType::fromType<QString>();
}

std::optional<QJsonArray> stringArray(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QStringList>())
        return QJsonArray::fromStringList(value.toStringList());
    return std::nullopt;
}

// An array all of whose elements are strings; a mixed or foreign value is no list of names.
std::optional<QJsonArray> stringArray(const PlistValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    QJsonArray names;
    for (const PlistValue& element : value.array()) {
        if (!element.isString())
            return std::nullopt;
        names.append(element.string());
    }
    return names;
}

void addDocumentAttributes(const DocumentAttributes& attributes, QJsonObject& out)
{
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        const QString& key = it.key();
        const QVariant& value = it.value();
        if (key == NSKeywordsDocumentAttribute) {
            if (const auto keywords = stringArray(value))
                out.insert(kMDItemKeywords, *keywords);
            continue;
        }
        if (!isString(value))
            continue;
        const QString text = value.toString();
        if (key == NSCompanyDocumentAttribute)
            out.insert(kMDItemOrganizations, QJsonArray{text});
        else if (key == NSCopyrightDocumentAttribute)
            out.insert(kMDItemCopyright, text);
        else if (key == NSSubjectDocumentAttribute)
            out.insert(kMDItemSubject, text);
        else if (key == NSAuthorDocumentAttribute)
            out.insert(kMDItemAuthors, QJsonArray{text});
        else if (key == NSCommentDocumentAttribute)
            out.insert(kMDItemComment, text);
    }
}

void addNames(const PlistValue& value, const QString& namesAttribute, const QString& countAttribute,
              QJsonObject& out)
{
    const auto names = stringArray(value);
    if (!names)
        return;
    out.insert(namesAttribute, *names);
    out.insert(countAttribute, qint64(names->size()));
}

void addExtendedMetadata(const PlistDictionary& extended, QJsonObject& out)
{
    for (const auto& [key, value] : extended) {
        if (key == OVDocumentPropertiesExtendedMetadataBookmarkNamesKey) {
            addNames(value, kOVBookmarksAttribute, kOVBookmarkCountAttribute, out);
            continue;
        }
        if (key == OVDocumentPropertiesExtendedMetadataAttachmentNamesKey) {
            addNames(value, kOVAttachmentsAttribute, kOVAttachmentCountAttribute, out);
            continue;
        }
        if (key == OVDocumentPropertiesExtendedMetadataPerformersKey) {
            // The program stores the performers as a list of names; older files hold one string.
            // Either way the index gets a list, so a search finds each name.
            if (value.isString())
                out.insert(kMDItemPerformers, QJsonArray{value.string()});
            else if (const auto names = stringArray(value))
                out.insert(kMDItemPerformers, *names);
            continue;
        }
        if (!value.isString())
            continue;
        if (key == OVDocumentPropertiesExtendedMetadataDirectorKey)
            out.insert(kMDItemDirector, value.string());
        else if (key == OVDocumentPropertiesExtendedMetadataProducerKey)
            out.insert(kMDItemProducer, value.string());
    }
}

} // namespace

QJsonObject OVMetadataAttributes::attributesForLoader(const OVDocumentLoader& loader)
{
    QJsonObject out;
    out.insert(kMDItemTextContent, loader.textContent());
    out.insert(kMDItemFonts, QJsonArray::fromStringList(loader.usedFonts()));
    // Document properties come from the text file alone, the rest from the extended metadata alone,
    // so neither source can stand in for the other under a shared key.
    addDocumentAttributes(loader.documentAttributes(), out);
    addExtendedMetadata(loader.extendedMetadataInfo(), out);
    return out;
}
