#include "platform/hvkit/HVAnalytics.h"

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVTimestamp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

#include <cmath>
#include <limits>

namespace {

const QString kMetaUUIDKeyPath = QStringLiteral("meta.uuid");
const QString kMetaInitialDateKeyPath = QStringLiteral("meta.initialDate");
const QString kAppLaunchCountKeyPath = QStringLiteral("app.launchCount");
const QString kAppCrashCountKeyPath = QStringLiteral("app.crashCount");
const QString kAppActiveTimeKeyPath = QStringLiteral("app.activeTime");
const QString kDocumentsOpenedKeyPath = QStringLiteral("documents.opened");

// Statistics are a few kilobytes; anything far larger is not ours and is not read.
constexpr qint64 kMaximumFileSize = 4 * 1024 * 1024;
constexpr int kMaximumKeyPathDepth = 8;

std::optional<QStringList> splitKeyPath(const QString& keyPath)
{
    const QStringList parts = keyPath.split(u'.');
    if (parts.size() > kMaximumKeyPathDepth)
        return std::nullopt;
    for (const QString& part : parts) {
        if (part.isEmpty())
            return std::nullopt;
    }
    return parts;
}

QVariant valueAt(const QVariantMap& root, const QStringList& parts)
{
    const QVariantMap* level = &root;
    QVariant value;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const auto found = level->constFind(parts[i]);
        if (found == level->constEnd())
            return {};
        value = *found;
        if (i + 1 == parts.size())
            return value;
        if (value.typeId() != QMetaType::QVariantMap)
            return {};
        level = static_cast<const QVariantMap*>(found->constData());
    }
    return {};
}

void setValueAt(QVariantMap& map, const QStringList& parts, qsizetype index, const QVariant& value)
{
    const QString& key = parts[index];
    if (index + 1 == parts.size()) {
        if (value.isValid())
            map.insert(key, value);
        else
            map.remove(key);
        return;
    }
    QVariantMap child = map.value(key).toMap(); // a non-dictionary in the way is replaced
    setValueAt(child, parts, index + 1, value);
    map.insert(key, child);
}

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

qint64 toInteger(const QVariant& value)
{
    if (!isNumber(value))
        return 0;
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return 0;
        if (d >= 9.2e18)
            return std::numeric_limits<qint64>::max();
        if (d <= -9.2e18)
            return std::numeric_limits<qint64>::min();
        return qint64(d);
    }
    return value.toLongLong();
}

qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 result = 0;
    if (__builtin_add_overflow(a, b, &result))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return result;
}

quint64 sumOfIntegers(const QVariantMap& map)
{
    quint64 sum = 0;
    for (const QVariant& value : map) {
        quint64 part = 0;
        if (value.typeId() == QMetaType::QVariantMap)
            part = sumOfIntegers(value.toMap());
        else if (const qint64 n = toInteger(value); n > 0)
            part = quint64(n);
        if (__builtin_add_overflow(sum, part, &sum))
            return std::numeric_limits<quint64>::max();
    }
    return sum;
}

// The store holds only what these conversions carry; anything else in a file is dropped.
QVariant variantFromPlist(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::Dictionary: {
        QVariantMap map;
        for (const auto& [key, child] : value.dictionary()) {
            if (QVariant converted = variantFromPlist(child); converted.isValid())
                map.insert(key, converted);
        }
        return map;
    }
    case PlistValue::Type::String:
        return value.string();
    case PlistValue::Type::Integer:
        return value.isUnsignedInteger() ? QVariant::fromValue(std::numeric_limits<qint64>::max())
                                         : QVariant::fromValue(value.integer());
    case PlistValue::Type::Real:
        return value.real();
    case PlistValue::Type::Boolean:
        return value.boolean();
    default:
        return {};
    }
}

PlistValue plistFromVariant(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        PlistDictionary dictionary;
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (PlistValue converted = plistFromVariant(it.value()); !converted.isNull())
                dictionary.insert(it.key(), std::move(converted));
        }
        return dictionary;
    }
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return qint64(value.toLongLong());
    case QMetaType::Double:
        return std::isfinite(value.toDouble()) ? PlistValue(value.toDouble()) : PlistValue();
    case QMetaType::QString:
        return value.toString();
    default:
        return {};
    }
}

// A screen name with a control character must not make every later save fail: the file format
// cannot hold such characters, so they are left out when the value is stored.
QVariant storableValue(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return value;
    const QString text = value.toString();
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            clean += c;
            clean += text[++i];
        } else if (!c.isSurrogate() && (c.unicode() >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r') &&
                   c.unicode() != 0xFFFE && c.unicode() != 0xFFFF) {
            clean += c;
        }
    }
    return clean;
}

void mergeInto(QVariantMap& target, const QVariantMap& source, int depth)
{
    for (auto it = source.constBegin(); it != source.constEnd(); ++it) {
        const QVariant& value = it.value();
        QVariant& existing = target[it.key()];
        if (value.typeId() == QMetaType::QVariantMap && depth < kMaximumKeyPathDepth) {
            QVariantMap child =
                existing.typeId() == QMetaType::QVariantMap ? existing.toMap() : QVariantMap();
            mergeInto(child, value.toMap(), depth + 1);
            existing = child;
        } else if (isNumber(value) && value.typeId() != QMetaType::Double && isNumber(existing)) {
            existing = QVariant::fromValue(saturatingAdd(toInteger(existing), toInteger(value)));
        } else if (!existing.isValid()) {
            existing = value;
        }
    }
}

} // namespace

HVAnalytics::HVAnalytics(QString filePath) : m_filePath(std::move(filePath)) {}

QString HVAnalytics::defaultFilePath()
{
    const QString folder = DataFolder::path();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/Analytics.plist");
}

QString HVAnalytics::userDefaultsKey()
{
    return QStringLiteral("HVAnalytics");
}

void HVAnalytics::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        m_runningTimes.clear();
}

void HVAnalytics::setPersistsChanges(bool persists)
{
    m_persistsChanges = persists;
    if (persists && m_dirty)
        save();
}

qint64 HVAnalytics::incrementIntegerForKeyPath(const QString& keyPath, qint64 by)
{
    const std::optional<QStringList> parts = splitKeyPath(keyPath);
    if (!m_enabled || !parts)
        return integerForKeyPath(keyPath);
    const qint64 value = saturatingAdd(toInteger(valueAt(m_root, *parts)), by);
    setValueAt(m_root, *parts, 0, QVariant::fromValue(value));
    changed();
    return value;
}

void HVAnalytics::raiseIntegerForKeyPath(const QString& keyPath, qint64 value)
{
    const std::optional<QStringList> parts = splitKeyPath(keyPath);
    if (!m_enabled || !parts)
        return;
    const QVariant stored = valueAt(m_root, *parts);
    if (isNumber(stored) && toInteger(stored) >= value)
        return;
    setValueAt(m_root, *parts, 0, QVariant::fromValue(value));
    changed();
}

void HVAnalytics::raiseDoubleForKeyPath(const QString& keyPath, double value)
{
    const std::optional<QStringList> parts = splitKeyPath(keyPath);
    if (!m_enabled || !parts || !std::isfinite(value))
        return;
    const QVariant stored = valueAt(m_root, *parts);
    if (isNumber(stored) && stored.toDouble() >= value)
        return;
    setValueAt(m_root, *parts, 0, value);
    changed();
}

void HVAnalytics::setObjectForKeyPath(const QVariant& value, const QString& keyPath)
{
    const std::optional<QStringList> parts = splitKeyPath(keyPath);
    if (!m_enabled || !parts)
        return;
    setValueAt(m_root, *parts, 0, storableValue(value));
    changed();
}

QVariant HVAnalytics::objectForKeyPath(const QString& keyPath) const
{
    const std::optional<QStringList> parts = splitKeyPath(keyPath);
    return parts ? valueAt(m_root, *parts) : QVariant();
}

qint64 HVAnalytics::integerForKeyPath(const QString& keyPath) const
{
    return toInteger(objectForKeyPath(keyPath));
}

double HVAnalytics::doubleForKeyPath(const QString& keyPath) const
{
    const QVariant value = objectForKeyPath(keyPath);
    const double d = isNumber(value) ? value.toDouble() : 0.0;
    return std::isfinite(d) ? d : 0.0;
}

quint64 HVAnalytics::unsignedIntegerSumForDictionaryObjectForKeyPath(const QString& keyPath) const
{
    const QVariant value = objectForKeyPath(keyPath);
    return value.typeId() == QMetaType::QVariantMap ? sumOfIntegers(value.toMap()) : 0;
}

void HVAnalytics::startTimeForKeyPath(const QString& keyPath)
{
    if (!m_enabled || !splitKeyPath(keyPath))
        return;
    m_runningTimes.insert(keyPath, HVTimestamp::seconds());
}

double HVAnalytics::stopTimeForKeyPath(const QString& keyPath)
{
    const auto found = m_runningTimes.find(keyPath);
    if (found == m_runningTimes.end())
        return 0;
    const double seconds = std::max(0.0, HVTimestamp::seconds() - found->toDouble());
    m_runningTimes.erase(found);
    if (!m_enabled)
        return 0;
    const std::optional<QStringList> parts = splitKeyPath(keyPath);
    setValueAt(m_root, *parts, 0, doubleForKeyPath(keyPath) + seconds);
    changed();
    return seconds;
}

bool HVAnalytics::isTimeRunningForKeyPath(const QString& keyPath) const
{
    return m_runningTimes.contains(keyPath);
}

void HVAnalytics::recordAppLaunch()
{
    if (!m_enabled)
        return;
    if (!m_earlierAppLaunchCount)
        m_earlierAppLaunchCount = appLaunchCount();
    ensureMeta();
    incrementIntegerForKeyPath(kAppLaunchCountKeyPath);
}

void HVAnalytics::incrementDocumentOpenedForFileExtension(const QString& extension)
{
    // A dot in an extension would split the key path.
    QString key = extension.toLower();
    key.replace(u'.', u'_');
    if (key.isEmpty())
        key = QStringLiteral("none");
    incrementIntegerForKeyPath(kDocumentsOpenedKeyPath + u'.' + key);
}

qint64 HVAnalytics::appLaunchCount() const
{
    return integerForKeyPath(kAppLaunchCountKeyPath);
}

void HVAnalytics::addAppCrashes(qint64 count)
{
    if (count > 0)
        incrementIntegerForKeyPath(kAppCrashCountKeyPath, count);
}

qint64 HVAnalytics::appCrashCount() const
{
    return integerForKeyPath(kAppCrashCountKeyPath);
}

qint64 HVAnalytics::earlierAppLaunchCount() const
{
    return m_earlierAppLaunchCount.value_or(appLaunchCount());
}

double HVAnalytics::appActiveTime() const
{
    double seconds = doubleForKeyPath(kAppActiveTimeKeyPath);
    if (const auto found = m_runningTimes.constFind(kAppActiveTimeKeyPath);
        found != m_runningTimes.constEnd())
        seconds += std::max(0.0, HVTimestamp::seconds() - found->toDouble());
    return seconds;
}

void HVAnalytics::applicationDidBecomeActive()
{
    if (!isTimeRunningForKeyPath(kAppActiveTimeKeyPath))
        startTimeForKeyPath(kAppActiveTimeKeyPath);
}

void HVAnalytics::applicationDidResignActive()
{
    stopTimeForKeyPath(kAppActiveTimeKeyPath);
}

QString HVAnalytics::metaUUID() const
{
    return objectForKeyPath(kMetaUUIDKeyPath).toString();
}

QDateTime HVAnalytics::metaInitialDate() const
{
    return QDateTime::fromString(objectForKeyPath(kMetaInitialDateKeyPath).toString(), Qt::ISODate);
}

bool HVAnalytics::migrateFromUserDefaultsKey(UserDefaults& defaults, const QString& key)
{
    const PlistValue old = defaults.objectForKey(key);
    if (!old.isDictionary() || old.dictionary().isEmpty())
        return false;
    mergeInto(m_root, variantFromPlist(old).toMap(), 1);
    defaults.removeObjectForKey(key);
    changed();
    return true;
}

void HVAnalytics::reset()
{
    m_root.clear();
    m_runningTimes.clear();
    ensureMeta();
    m_dirty = true;
    if (m_persistsChanges)
        save();
}

bool HVAnalytics::load(Error* error)
{
    m_root.clear();
    m_dirty = false;
    if (m_filePath.isEmpty() || !QFileInfo::exists(m_filePath))
        return true;
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error,
                 Error::cocoa(kFileReadUnknownError, QUrl::fromLocalFile(m_filePath), file.errorString()));
        return false;
    }
    if (file.size() > kMaximumFileSize) {
        setError(error, Error::cocoa(kFileReadCorruptFileError, QUrl::fromLocalFile(m_filePath),
                                     QStringLiteral("The statistics file is too large.")));
        return false;
    }
    Error readError;
    const std::optional<PlistValue> plist =
        PropertyListSerialization::propertyListWithData(file.read(kMaximumFileSize), nullptr, &readError);
    if (!plist || !plist->isDictionary()) {
        setError(error, Error::cocoa(kFileReadCorruptFileError, QUrl::fromLocalFile(m_filePath),
                                     plist ? QStringLiteral("The statistics file holds no dictionary.")
                                           : readError.localizedFailureReason()));
        return false;
    }
    m_root = variantFromPlist(*plist).toMap();
    return true;
}

bool HVAnalytics::save(Error* error)
{
    if (m_filePath.isEmpty()) {
        m_dirty = false;
        return true;
    }
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error,
                 Error::cocoa(kFileWriteUnknownError, QUrl::fromLocalFile(m_filePath), file.errorString()));
        return false;
    }
    Error writeError;
    const std::optional<QByteArray> bytes = PropertyListSerialization::dataWithPropertyList(
        plistFromVariant(m_root), PropertyListSerialization::Format::Xml, &writeError);
    if (!bytes) {
        setError(error, writeError);
        return false;
    }
    file.write(*bytes);
    if (!file.commit()) {
        setError(error,
                 Error::cocoa(kFileWriteUnknownError, QUrl::fromLocalFile(m_filePath), file.errorString()));
        return false;
    }
    m_dirty = false;
    return true;
}

void HVAnalytics::changed()
{
    m_dirty = true;
    if (m_persistsChanges && !save())
        qWarning("could not write the usage statistics to %s", qPrintable(m_filePath));
}

void HVAnalytics::ensureMeta()
{
    if (metaUUID().isEmpty())
        setValueAt(m_root, {QStringLiteral("meta"), QStringLiteral("uuid")}, 0,
                   QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    if (!metaInitialDate().isValid())
        setValueAt(m_root, {QStringLiteral("meta"), QStringLiteral("initialDate")}, 0,
                   QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
}
