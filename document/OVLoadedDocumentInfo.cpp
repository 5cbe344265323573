#include "document/OVLoadedDocumentInfo.h"

#include "document/OVDocumentPackageConstants.h"

namespace {

std::optional<double> numberAt(const OVLoadedDocumentInfo& info, const QString& key)
{
    const PlistValue value = info.propertyListValue(key);
    if (value.isNumber() || value.isBoolean())
        return value.isBoolean() ? double(value.boolean()) : value.toDouble();
    return std::nullopt;
}

} // namespace

PlistValue OVLoadedDocumentInfo::propertyListValue(const QString& key) const
{
    const auto it = values.constFind(key);
    if (it == values.constEnd() || it->metaType() != QMetaType::fromType<PlistValue>())
        return PlistValue();
    return it->value<PlistValue>();
}

QStringList OVLoadedDocumentInfo::selectedRanges() const
{
    QStringList ranges;
    const PlistValue selected = propertyListValue(OVDocumentPrompterSelectedRangesKey);
    for (const PlistValue& item : selected.array())
        if (item.isString())
            ranges.append(item.string());
    return ranges;
}

std::optional<double> OVLoadedDocumentInfo::scrollbarPosition() const
{
    return numberAt(*this, OVDocumentPrompterScrollbarPositionKey);
}

std::optional<OVScrollbarAnchor> OVLoadedDocumentInfo::scrollbarAnchor() const
{
    return OVScrollbarAnchor::fromPropertyList(propertyListValue(OVScrollbarAnchorKey), scrollbarPosition(),
                                               content ? content->length() : 0);
}

std::optional<double> OVLoadedDocumentInfo::speed() const
{
    return numberAt(*this, OVDocumentPrompterSpeedKey);
}

std::optional<QString> OVLoadedDocumentInfo::windowFrame() const
{
    const PlistValue value = propertyListValue(OVDocumentWindowFrameKey);
    if (!value.isString())
        return std::nullopt;
    return value.string();
}

std::optional<Color> OVLoadedDocumentInfo::backgroundColor() const
{
    const QVariant value = values.value(NSBackgroundColorDocumentAttribute);
    if (value.metaType() != QMetaType::fromType<Color>())
        return std::nullopt;
    return value.value<Color>();
}

PlistDictionary OVLoadedDocumentInfo::extendedMetadata() const
{
    return propertyListValue(OVDocumentExtendedMetadataKey).dictionary();
}

DocumentAttributes OVLoadedDocumentInfo::documentAttributes() const
{
    DocumentAttributes attributes;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        if (it->metaType() != QMetaType::fromType<PlistValue>())
            attributes.insert(it.key(), it.value());
    return attributes;
}
