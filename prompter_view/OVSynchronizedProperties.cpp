#include "prompter_view/OVSynchronizedProperties.h"

#include "platform/appkit/RunLoop.h"
#include "platform/foundation/UserDefaults.h"

#include <QByteArray>

namespace {
const QString kUpdateDefaultsSelector = QStringLiteral("_updateUserDefaultsWithProperties:");

QVariant variantFromValue(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::Integer:
        return QVariant(value.integer());
    case PlistValue::Type::Real:
        return QVariant(value.real());
    case PlistValue::Type::Boolean:
        return QVariant(value.boolean());
    case PlistValue::Type::String:
        return QVariant(value.string());
    case PlistValue::Type::Data:
        return QVariant(value.data());
    default:
        return {};
    }
}

PlistValue valueFromVariant(const QVariant& variant)
{
    switch (variant.typeId()) {
    case QMetaType::Bool:
        return PlistValue(variant.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return PlistValue(variant.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return PlistValue(variant.toDouble());
    case QMetaType::QString:
        return PlistValue(variant.toString());
    case QMetaType::QByteArray:
        return PlistValue(variant.toByteArray());
    default:
        return {};
    }
}
} // namespace

OVSynchronizedProperties::OVSynchronizedProperties(Scheme& scheme, const void* owner,
                                                   PropertiesFunction properties, LoadFunction load)
    : m_scheme(scheme), m_owner(owner), m_properties(std::move(properties)), m_load(std::move(load))
{
    m_observer = NotificationObserver(NotificationCenter::shared(), scheme.internalNotification, nullptr,
                                      [this](const Notification& notification) {
                                          if (notification.object == m_owner || !m_scheme.enabled)
                                              return;
                                          m_load(propertiesFromUserInfo(notification.userInfo));
                                      });
}

void OVSynchronizedProperties::postChange()
{
    if (!m_scheme.enabled || isPostingSuspended())
        return;
    const PlistDictionary properties = m_properties();
    // A burst of changes in one event writes once: each change replaces the pending write. The
    // write holds the scheme (a class-wide object) and a copy of the values, never the owner.
    RunLoop& loop = RunLoop::main();
    loop.cancelPreviousPerformRequests(&m_scheme, kUpdateDefaultsSelector);
    Scheme* scheme = &m_scheme;
    loop.performAfterDelay(0, &m_scheme, kUpdateDefaultsSelector, [scheme, properties] {
        if (scheme->enabled)
            setStoredProperties(*scheme, properties);
    });
    const QVariantMap userInfo = userInfoFromProperties(properties);
    NotificationCenter::shared().postNotification(m_scheme.internalNotification, m_owner, userInfo);
    NotificationCenter::shared().postNotification(m_scheme.publicNotification, m_owner, userInfo);
}

PlistDictionary OVSynchronizedProperties::storedProperties(const Scheme& scheme)
{
    return UserDefaults::shared().dictionaryForKey(scheme.defaultsKey);
}

PlistDictionary OVSynchronizedProperties::initialDefaultsDictionary(const Scheme& scheme,
                                                                   const PlistDictionary& initial)
{
    PlistDictionary dictionary;
    dictionary.insert(scheme.defaultsKey, PlistValue(initial));
    return dictionary;
}

PlistDictionary OVSynchronizedProperties::defaultProperties(const Scheme& scheme, const PlistDictionary& initial)
{
    if (UserDefaults::shared().objectForKey(scheme.defaultsKey).isDictionary())
        return storedProperties(scheme);
    return initial;
}

void OVSynchronizedProperties::setStoredProperties(const Scheme& scheme,
                                                   const std::optional<PlistDictionary>& properties)
{
    if (properties)
        UserDefaults::shared().setObject(PlistValue(*properties), scheme.defaultsKey);
    else
        UserDefaults::shared().removeObjectForKey(scheme.defaultsKey);
}

QVariantMap OVSynchronizedProperties::userInfoFromProperties(const PlistDictionary& properties)
{
    QVariantMap userInfo;
    for (const auto& [key, value] : properties) {
        const QVariant variant = variantFromValue(value);
        if (variant.isValid())
            userInfo.insert(key, variant);
    }
    return userInfo;
}

PlistDictionary OVSynchronizedProperties::propertiesFromUserInfo(const QVariantMap& userInfo)
{
    PlistDictionary properties;
    for (auto it = userInfo.cbegin(); it != userInfo.cend(); ++it) {
        PlistValue value = valueFromVariant(it.value());
        if (!value.isNull())
            properties.insert(it.key(), std::move(value));
    }
    return properties;
}
