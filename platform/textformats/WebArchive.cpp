#include "platform/textformats/WebArchive.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/HtmlWriter.h"
#include "platform/textformats/PlainTextCodec.h"
#include "platform/textformats/Zip.h"

#include <QHash>
#include <QMimeDatabase>
#include <QSet>
#include <QUrl>

namespace {

const QString kMainResource = QStringLiteral("WebMainResource");
const QString kSubresources = QStringLiteral("WebSubresources");
const QString kData = QStringLiteral("WebResourceData");
const QString kMimeType = QStringLiteral("WebResourceMIMEType");
const QString kEncoding = QStringLiteral("WebResourceTextEncodingName");
const QString kUrl = QStringLiteral("WebResourceURL");
const QString kFrameName = QStringLiteral("WebResourceFrameName");

Error corrupt(const QString& why)
{
    return Error::cocoa(kFileReadCorruptFileError, {}, why);
}

// The last path component of an address, the name a picture goes by.
QString lastComponent(const QString& address)
{
    const QUrl url(address);
    const QString path = url.isValid() ? url.path() : address;
    return path.section(u'/', -1);
}

} // namespace

bool WebArchive::read(const QByteArray& data, MutableAttributedString& text,
                      DocumentAttributes* documentAttributes, Error* error)
{
    Error plistError;
    const auto root = PropertyListSerialization::propertyListWithData(data, nullptr, &plistError);
    if (!root) {
        // The property list's own code means nothing to a user; the file's damage is said plainly,
        // with what the property-list reader found kept underneath.
        const QString found = plistError.localizedFailureReason();
        Error damaged = corrupt(
            found.isEmpty() ? QStringLiteral("The web archive is not a property list.")
                            : QStringLiteral("The web archive is not a property list: %1").arg(found));
        if (!plistError.isNull())
            damaged.setUserInfoValue(kUnderlyingErrorKey, QVariant::fromValue(plistError));
        setError(error, damaged);
        return false;
    }
    if (!root->isDictionary() || !root->dictionary().value(kMainResource).isDictionary()) {
        setError(error, corrupt(QStringLiteral("The web archive has no main resource.")));
        return false;
    }
    const PlistDictionary& main = root->dictionary().find(kMainResource)->dictionary();
    const PlistValue* html = main.find(kData);
    if (!html || !html->isData()) {
        setError(error, corrupt(QStringLiteral("The web archive's main resource holds no data.")));
        return false;
    }
    const PlistValue* mime = main.find(kMimeType);
    if (mime && (!mime->isString() || (!mime->string().startsWith(u"text/html") &&
                                       !mime->string().startsWith(u"application/xhtml")))) {
        setError(error, corrupt(QStringLiteral("The web archive's page is not HTML.")));
        return false;
    }
    std::optional<TextEncoding> encoding;
    if (const PlistValue* name = main.find(kEncoding); name && name->isString())
        encoding = HtmlReader::encodingForCharsetName(name->string());
    const QString mainUrl = main.value(kUrl).isString() ? main.value(kUrl).string() : QString();

    // Pictures by their full address and by their last name.
    QHash<QString, QByteArray> byAddress;
    QHash<QString, QByteArray> byName;
    if (const PlistValue* subresources = root->dictionary().find(kSubresources);
        subresources && subresources->isArray()) {
        qsizetype count = 0;
        for (const PlistValue& resource : subresources->array()) {
            if (++count > kMaximumSubresources)
                break;
            if (!resource.isDictionary())
                continue;
            const PlistValue* bytes = resource.dictionary().find(kData);
            const PlistValue* address = resource.dictionary().find(kUrl);
            const PlistValue* type = resource.dictionary().find(kMimeType);
            if (!bytes || !bytes->isData() || !address || !address->isString())
                continue;
            if (type && type->isString() && !type->string().startsWith(u"image/"))
                continue;
            byAddress.insert(address->string(), bytes->data());
            byName.insert(lastComponent(address->string()), bytes->data());
        }
    }
    const HtmlReader::ImageSource images = [&](const QString& src) -> std::shared_ptr<FileWrapper> {
        if (src.isEmpty())
            return nullptr;
        const auto lookUp = [](const QHash<QString, QByteArray>& table, const QString& key) {
            const auto it = table.constFind(key);
            return it == table.constEnd() ? nullptr : &*it;
        };
        const QByteArray* found = lookUp(byAddress, src);
        if (!found && !mainUrl.isEmpty())
            found = lookUp(byAddress, QUrl(mainUrl).resolved(QUrl(src)).toString());
        if (!found)
            found = lookUp(byName, lastComponent(src));
        if (!found)
            return nullptr;
        auto file = FileWrapper::makeRegularFile(*found);
        file->setPreferredFilename(ZipReader::safeBaseName(lastComponent(src)));
        return file;
    };

    const QByteArray bytes = html->data();
    std::optional<TextEncoding> used = encoding;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        used = TextEncoding::UTF8;
    else if (!used)
        used = HtmlReader::declaredEncoding(bytes);
    const QString page = used ? PlainTextCodec::decode(bytes, *used) : PlainTextCodec::decode(bytes);
    DocumentAttributes attributes;
    if (!HtmlReader::readString(page, text, &attributes, error, images))
        return false;
    attributes.insert(NSDocumentTypeDocumentAttribute, NSWebArchiveTextDocumentType);
    if (documentAttributes)
        *documentAttributes = std::move(attributes);
    return true;
}

std::optional<QByteArray> WebArchive::write(const AttributedString& text,
                                            const DocumentAttributes& documentAttributes, Error* error)
{
    PlistArray subresources;
    QHash<const TextAttachment*, QString> names;
    QSet<QString> used;
    const QMimeDatabase mimeDatabase;
    const HtmlWriter::ImageNamer namer = [&](const TextAttachment& attachment) -> QString {
        if (const auto it = names.constFind(&attachment); it != names.constEnd())
            return *it;
        const auto& file = attachment.fileWrapper();
        if (!file || !file->isRegularFile())
            return {};
        QString base = ZipReader::safeBaseName(
            file->preferredFilename().isEmpty() ? file->filename() : file->preferredFilename());
        if (base == u"attachment")
            base = QStringLiteral("image");
        // Names are the addresses: each picture needs its own.
        QString name = base;
        for (int n = 2; used.contains(name); ++n)
            name = base.section(u'.', 0, 0) + u'-' + QString::number(n) +
                   (base.contains(u'.') ? u'.' + base.section(u'.', 1) : QString());
        used.insert(name);
        names.insert(&attachment, name);
        PlistDictionary resource;
        resource.insert(kData, file->regularFileContents());
        resource.insert(kMimeType,
                        mimeDatabase.mimeTypeForFileNameAndData(name, file->regularFileContents()).name());
        resource.insert(kUrl, name);
        subresources.push_back(std::move(resource));
        return name;
    };
    const QByteArray html = HtmlWriter::write(text, documentAttributes, namer);
    PlistDictionary main;
    main.insert(kData, html);
    main.insert(kFrameName, QString());
    main.insert(kMimeType, QStringLiteral("text/html"));
    main.insert(kEncoding, QStringLiteral("UTF-8"));
    main.insert(kUrl, QStringLiteral("index.html"));
    PlistDictionary root;
    root.insert(kMainResource, std::move(main));
    if (!subresources.empty())
        root.insert(kSubresources, std::move(subresources));
    Error plistError;
    auto bytes = PropertyListSerialization::dataWithPropertyList(
        root, PropertyListSerialization::Format::Binary, &plistError);
    if (!bytes) {
        setError(error, Error::cocoa(kFileWriteUnknownError, {},
                                     QStringLiteral("The web archive could not be made.")));
        return std::nullopt;
    }
    return bytes;
}
