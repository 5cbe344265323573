#include "text/OVBookmark.h"

#include "platform/foundation/ArchiveObject.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Uuid.h"
#include "platform/text/TextAttachment.h"
#include "text/OVBookmarkCell.h"

#include <QHash>
#include <QSet>

namespace {

const QString kClassName = QStringLiteral("OVBookmark");
const QString kNameKey = QStringLiteral("name");
const QString kTypeKey = QStringLiteral("type");

Error corruptArchive(const QString& reason)
{
    return Error(kCocoaErrorDomain, kCoderReadCorruptError, {{kLocalizedFailureReasonErrorKey, reason}});
}

} // namespace

std::shared_ptr<OVBookmark> OVBookmark::bookmark()
{
    return std::make_shared<OVBookmark>();
}

std::shared_ptr<OVBookmark> OVBookmark::bookmarkWithName(const QString& name)
{
    return std::make_shared<OVBookmark>(name);
}

QString OVBookmark::nameAndTransientName() const
{
    QString title = m_name.value_or(QString());
    const QString transient = m_transientName.value_or(QString());
    if (!transient.isEmpty()) {
        if (!title.isEmpty())
            title += QStringLiteral(" \u2013 ");
        title += transient;
    }
    return title;
}

QString OVBookmark::description() const
{
    return QStringLiteral("<%1: 0x%2>  Name:  %3")
        .arg(kClassName, QString::number(quintptr(this), 16), m_name ? *m_name : QStringLiteral("(null)"));
}

std::shared_ptr<OVBookmark> OVBookmark::copy() const
{
    auto copied = std::make_shared<OVBookmark>(m_name);
    copied->m_type = m_type;
    return copied;
}

size_t OVBookmark::hash() const
{
    const size_t base = m_name ? 31 * size_t(qHash(*m_name)) + 961 : 992;
    return base + size_t(m_type);
}

bool OVBookmark::isEqual(const OVBookmark* other) const
{
    if (other == this)
        return true;
    if (!other)
        return false;
    return m_name == other->m_name && m_type == other->m_type;
}

ArchiveObject OVBookmark::encodeWithCoder() const
{
    ArchiveObject coder(kClassName);
    if (m_name)
        coder.encodeObject(kNameKey, *m_name);
    coder.encodeInteger(kTypeKey, m_type);
    return coder;
}

std::shared_ptr<OVBookmark> OVBookmark::initWithCoder(const ArchiveObject& coder)
{
    if (coder.className() != kClassName)
        return nullptr;
    auto bookmark = std::make_shared<OVBookmark>();
    if (coder.containsValueForKey(kNameKey)) {
        const ArchiveValue name = coder.decodeObject(kNameKey);
        if (!name.isNil()) {
            if (!name.isString() || name.string().size() > kMaxNameLength)
                return nullptr;
            bookmark->m_name = name.string();
        }
    }
    if (coder.containsValueForKey(kTypeKey)) {
        const auto type = coder.decodeInteger(kTypeKey);
        if (!type)
            return nullptr;
        bookmark->m_type = *type;
    }
    return bookmark;
}

QByteArray OVBookmark::archivedData() const
{
    return KeyedArchiver::archivedData(ArchiveValue(encodeWithCoder()));
}

std::shared_ptr<OVBookmark> OVBookmark::unarchivedBookmark(const QByteArray& data, Error* error)
{
    if (data.size() > kMaxArchiveBytes) {
        setError(error, corruptArchive(QStringLiteral("The bookmark archive is too large.")));
        return nullptr;
    }
    static const QSet<QString> kAllowed{kClassName};
    const auto root = KeyedUnarchiver::unarchivedRootObject(data, kAllowed, error);
    if (!root)
        return nullptr;
    const ArchiveObject* object = root->object();
    auto bookmark = object ? initWithCoder(*object) : nullptr;
    if (!bookmark)
        setError(error, corruptArchive(QStringLiteral("The archive holds no bookmark.")));
    return bookmark;
}

QString OVBookmark::preferredFilename()
{
    return OVBookmarkIdentifierPrefixKey + QLatin1Char(' ') + uuidString();
}

std::shared_ptr<TextAttachment> OVBookmark::textAttachment()
{
    std::shared_ptr<OVBookmark> self = weak_from_this().lock();
    if (!self) {
        self = copy();
        self->m_transientName = m_transientName;
    }
    auto wrapper = FileWrapper::makeRegularFile(archivedData());
    wrapper->setFilename(preferredFilename());
    wrapper->setPreferredFilename(preferredFilename());
    auto attachment = std::make_shared<TextAttachment>(wrapper);
    auto cell = OVBookmarkCell::cellWithBookmark(self, attachment);
    attachment->setAttachmentCell(cell);
    cell->updateImage();
    return attachment;
}
