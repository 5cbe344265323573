#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/ReadAll.h"
#include "platform/foundation/ReadRegularFile.h"
#include "platform/foundation/StagingItem.h"
#include "platform/foundation/WriteAll.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

qsizetype skipSpaces(QStringView text, qsizetype at = 0)
{
    while (at < text.size() && isSpace(text[at]))
        ++at;
    return at;
}

// As the platform reads a string as a boolean: after spaces, an optional sign and leading zeros,
// true when the first character is Y, y, T, t or a digit 1-9.
bool stringBool(QStringView text)
{
    qsizetype at = skipSpaces(text);
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        ++at;
    while (at < text.size() && text[at] == u'0')
        ++at;
    if (at >= text.size())
        return false;
    const QChar c = text[at];
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

// The leading decimal integer of text, clamped to the 64-bit range; 0 when there is none.
qint64 stringInteger(QStringView text)
{
    qsizetype at = skipSpaces(text);
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
        negative = text[at] == u'-';
        ++at;
    }
    quint64 magnitude = 0;
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
        magnitude = magnitude * 10 + quint64(text[at].unicode() - '0');
        if (magnitude >= limit) {
            magnitude = limit;
            break;
        }
    }
    return negative ? qint64(0 - magnitude) : qint64(magnitude);
}

// The leading decimal number of text, read the same way whatever the locale; 0 when there is none.
double stringDouble(QStringView text)
{
    const QByteArray latin = text.mid(skipSpaces(text)).toLatin1();
    const char* begin = latin.constData();
    const char* end = begin + latin.size();
    const bool negative = begin < end && *begin == '-';
    if (begin < end && (*begin == '-' || *begin == '+'))
        ++begin;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ptr == begin)
        return 0;
    // from_chars gives up on overflow and underflow; strtod answers infinity or zero, and reads
    // the C locale's decimal point whatever the application's locale is.
    if (ec == std::errc::result_out_of_range) {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        value = strtod_l(QByteArray(begin, ptr - begin).constData(), nullptr, cLocale);
    }
    return negative ? -value : value;
}

qint64 truncatedInteger(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    if (value <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return qint64(value);
}

// Writes data whole to a locked temporary beside path and renames it over path, so readers see the
// old file or the new one and a temporary left by a crash can be told from one being written.
QString writeAtomically(const QString& path, const QByteArray& data)
{
    const auto temporary =
        StagingItem::make(QFile::encodeName(path + QStringLiteral(".XXXXXX")), StagingItem::Kind::File);
    if (!temporary)
        return QString::fromLocal8Bit(std::strerror(errno));
    const int fd = temporary->descriptor();
    if (!writeAll(fd, data))
        return QString::fromLocal8Bit(std::strerror(errno));
    // The file keeps the permissions it had; a new one gets what the user's mask allows.
    const QByteArray target = QFile::encodeName(path);
    struct stat existing;
    // The only way to read the mask is to set it; done once, before any write.
    static const mode_t mask = [] {
        const mode_t current = ::umask(022);
        ::umask(current);
        return current;
    }();
    const mode_t mode =
        ::stat(target.constData(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~mask);
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0 ||
        ::rename(temporary->path().constData(), target.constData()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

} // namespace

UserDefaults::UserDefaults(const QString& filePath)
    : m_filePath(filePath), m_writeContext(std::make_unique<QObject>())
{
    // A write interrupted by a crash leaves its temporary beside the file; nothing else ever would
    // remove it.
    StagingItem::removeStaleTemporaryFiles(m_filePath);
    load();
}

void UserDefaults::reopen(const QString& filePath)
{
    // Whoever keeps what a setting said (a cached style, say) hears of every value the new file
    // changes, as of a change made any other way.
    std::vector<std::pair<QString, PlistValue>> before;
    for (const auto& entry : m_user)
        before.emplace_back(entry.first, effectiveValue(entry.first));
    // A new context drops a write still queued for the old file.
    m_writeContext = std::make_unique<QObject>();
    m_writeScheduled = false;
    m_dirty = false;
    m_writeBlocked = false;
    m_filePath = filePath;
    m_setAsideFilePath.clear();
    m_user = PlistDictionary();
    m_unregisteredReadCount = 0;
    m_unregisteredKeysRead.clear();
    m_unusableKeysLogged.clear();
    StagingItem::removeStaleTemporaryFiles(m_filePath);
    load();
    if (m_observers.empty())
        return;
    QStringList changed;
    for (const auto& [key, oldValue] : before) {
        if (!(effectiveValue(key) == oldValue))
            changed << key;
    }
    for (const auto& entry : m_user) {
        const bool seen = std::any_of(before.begin(), before.end(),
                                      [&](const auto& old) { return old.first == entry.first; });
        if (!seen && !(effectiveValue(entry.first) == m_registered.value(entry.first)))
            changed << entry.first;
    }
    for (const QString& key : changed)
        notify(key);
}

UserDefaults::~UserDefaults()
{
    if (m_dirty)
        synchronize();
}

UserDefaults& UserDefaults::shared()
{
    static UserDefaults defaults(defaultFilePath());
    static const bool hooked = [] {
        // Statics die after the application object; write while Qt is still whole.
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, [] { defaults.synchronize(); });
        return true;
    }();
    Q_UNUSED(hooked);
    return defaults;
}

QString UserDefaults::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Orvane/Orvane.plist");
}

void UserDefaults::load()
{
    // What was opened is looked at before a byte is read. Not through readRegularFile: a file that
    // cannot be read is set aside here, and one that is merely unreadable blocks writing instead.
    const int fd = openForReading(QFile::encodeName(m_filePath));
    if (fd < 0) {
        if (errno == ENOENT)
            return;
        qWarning("Could not read the settings file %s: %s; changes will not be saved.",
                 qPrintable(m_filePath), std::strerror(errno));
        m_writeBlocked = true;
        return;
    }
    const std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* open) {
        ::close(*open);
        delete open;
    });
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        setAsidePersistentFile(QStringLiteral("it is not a regular file"));
        return;
    }
    const QString tooLarge = QStringLiteral("it is larger than %1 MB").arg(kMaximumFileBytes >> 20);
    if (info.st_size > kMaximumFileBytes) {
        setAsidePersistentFile(tooLarge);
        return;
    }
    QByteArray data;
    data.reserve(qsizetype(info.st_size));
    switch (readAll(fd, kMaximumFileBytes, data)) {
    case ReadAllResult::Done:
        break;
    case ReadAllResult::TooLarge:
        setAsidePersistentFile(tooLarge);
        return;
    case ReadAllResult::Failed:
        qWarning("Could not read the settings file %s: %s; changes will not be saved.",
                 qPrintable(m_filePath), std::strerror(errno));
        m_writeBlocked = true;
        return;
    }
    Error error;
    std::optional<PlistValue> value = PropertyListSerialization::propertyListWithData(data, nullptr, &error);
    if (!value) {
        setAsidePersistentFile(error.localizedFailureReason());
        return;
    }
    if (!value->isDictionary()) {
        setAsidePersistentFile(QStringLiteral("the property list is not a dictionary"));
        return;
    }
    m_user = std::move(value->dictionary());
}

void UserDefaults::setAsidePersistentFile(const QString& reason)
{
    QString aside = m_filePath + QStringLiteral(".damaged");
    for (int n = 2; QFile::exists(aside); ++n)
        aside = m_filePath + QStringLiteral(".damaged-%1").arg(n);
    if (!QFile::rename(m_filePath, aside)) {
        qWarning(
            "The settings file %s is damaged (%s) and could not be set aside; changes will not be saved.",
            qPrintable(m_filePath), qPrintable(reason));
        m_writeBlocked = true;
        return;
    }
    qWarning("The settings file %s is damaged (%s); it was kept as %s and settings start afresh.",
             qPrintable(m_filePath), qPrintable(reason), qPrintable(aside));
    m_setAsideFilePath = aside;
}

void UserDefaults::registerDefaults(const PlistDictionary& defaults)
{
    QStringList keys;
    for (const auto& entry : defaults)
        keys.append(entry.first);
    changeValues(keys, [&] {
        for (const auto& [key, value] : defaults)
            m_registered.insert(key, value);
    });
}

void UserDefaults::registerRange(const QString& key, double minimum, double maximum)
{
    changeValues({key}, [&] { m_ranges.insert(key, {minimum, maximum}); });
}

void UserDefaults::resetRegistrations()
{
    QStringList keys;
    for (const auto& entry : m_registered)
        keys.append(entry.first);
    for (auto range = m_ranges.cbegin(); range != m_ranges.cend(); ++range)
        keys.append(range.key());
    changeValues(keys, [&] {
        m_registered = PlistDictionary();
        m_ranges.clear();
    });
    m_unusableKeysLogged.clear();
}

bool UserDefaults::isUsableValue(const QString& key, const PlistValue& value, QString* why) const
{
    const auto isNumeric = [](const PlistValue& v) { return v.isNumber() || v.isBoolean(); };
    QString reason;
    if (value.isReal() && !std::isfinite(value.real())) {
        reason = QStringLiteral("is not a finite number");
    } else if (const PlistValue* registered = m_registered.find(key)) {
        const bool sameKind = isNumeric(*registered) ? isNumeric(value) : registered->type() == value.type();
        if (!sameKind) {
            reason = QStringLiteral("is not of the registered value's type");
        } else if (registered->isBoolean() && value.isNumber() && value.toDouble() != 0.0 &&
                   value.toDouble() != 1.0) {
            // Property lists written elsewhere hold switches as 0 and 1; any other number is damage,
            // not a wish to turn the switch on.
            reason = QStringLiteral("is a number other than 0 or 1 where a switch is registered");
        } else if (const auto range = m_ranges.constFind(key); range != m_ranges.cend() && value.isNumber()) {
            const double number = value.toDouble();
            if (number < range->first || number > range->second)
                reason = QStringLiteral("lies outside %1 to %2").arg(range->first).arg(range->second);
        }
    }
    if (why)
        *why = reason;
    return reason.isEmpty();
}

const PlistValue* UserDefaults::usableStoredValue(const QString& key) const
{
    const PlistValue* stored = m_user.find(key);
    if (!stored)
        return nullptr;
    QString why;
    if (isUsableValue(key, *stored, &why))
        return stored;
    if (!m_unusableKeysLogged.contains(key)) {
        m_unusableKeysLogged.insert(key);
        qWarning("The stored setting %s %s; the registered value is used, and the stored one is kept "
                 "until the setting is changed.",
                 qPrintable(key), qPrintable(why));
    }
    return nullptr;
}

PlistValue UserDefaults::objectForKey(const QString& key) const
{
    if (const PlistValue* stored = usableStoredValue(key))
        return *stored;
    // An unusable stored value is still a stored one: the key is not counted as unregistered.
    if (m_user.contains(key) && !m_registered.contains(key))
        return PlistValue();
    if (const PlistValue* registered = m_registered.find(key))
        return *registered;
    ++m_unregisteredReadCount;
    if (!m_unregisteredKeysRead.contains(key)) {
        m_unregisteredKeysRead.insert(key);
#ifndef QT_NO_DEBUG
        qDebug("The setting %s was read but has no registered default", qPrintable(key));
#endif
    }
    return PlistValue();
}

PlistValue UserDefaults::effectiveValue(const QString& key) const
{
    if (const PlistValue* stored = usableStoredValue(key))
        return *stored;
    return m_registered.value(key);
}

QStringList UserDefaults::unregisteredKeysRead() const
{
    QStringList keys(m_unregisteredKeysRead.begin(), m_unregisteredKeysRead.end());
    keys.sort();
    return keys;
}

void UserDefaults::resetUnregisteredReads()
{
    m_unregisteredReadCount = 0;
    m_unregisteredKeysRead.clear();
}

QString UserDefaults::stringForKey(const QString& key) const
{
    const PlistValue value = objectForKey(key);
    switch (value.type()) {
    case PlistValue::Type::String:
        return value.string();
    case PlistValue::Type::Integer:
        return value.isUnsignedInteger() ? QString::number(value.unsignedValue())
                                         : QString::number(value.integer());
    case PlistValue::Type::Real:
        return QString::number(value.real(), 'g', QLocale::FloatingPointShortest);
    case PlistValue::Type::Boolean:
        return value.boolean() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return QString();
    }
}

PlistArray UserDefaults::arrayForKey(const QString& key) const
{
    return objectForKey(key).array();
}

PlistDictionary UserDefaults::dictionaryForKey(const QString& key) const
{
    return objectForKey(key).dictionary();
}

QByteArray UserDefaults::dataForKey(const QString& key) const
{
    return objectForKey(key).data();
}

qint64 UserDefaults::integerForKey(const QString& key) const
{
    const PlistValue value = objectForKey(key);
    switch (value.type()) {
    case PlistValue::Type::Integer:
        return value.isUnsignedInteger() ? std::numeric_limits<qint64>::max() : value.integer();
    case PlistValue::Type::Real:
        return truncatedInteger(value.real());
    case PlistValue::Type::Boolean:
        return value.boolean() ? 1 : 0;
    case PlistValue::Type::String:
        return stringInteger(value.string());
    default:
        return 0;
    }
}

double UserDefaults::doubleForKey(const QString& key) const
{
    const PlistValue value = objectForKey(key);
    switch (value.type()) {
    case PlistValue::Type::Integer:
    case PlistValue::Type::Real:
        return value.toDouble();
    case PlistValue::Type::Boolean:
        return value.boolean() ? 1.0 : 0.0;
    case PlistValue::Type::String:
        return stringDouble(value.string());
    default:
        return 0.0;
    }
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const PlistValue value = objectForKey(key);
    switch (value.type()) {
    case PlistValue::Type::Boolean:
        return value.boolean();
    case PlistValue::Type::Integer:
    case PlistValue::Type::Real:
        return value.toDouble() != 0.0;
    case PlistValue::Type::String:
        return stringBool(value.string());
    default:
        return false;
    }
}

void UserDefaults::setObject(const PlistValue& value, const QString& key)
{
    if (value.isNull()) {
        removeObjectForKey(key);
        return;
    }
    changeValues({key}, [&] { m_user.insert(key, value); });
    // A new value that cannot be used is worth a line of its own.
    m_unusableKeysLogged.remove(key);
    scheduleWrite();
}

void UserDefaults::setBool(bool value, const QString& key)
{
    setObject(PlistValue(value), key);
}

void UserDefaults::setInteger(qint64 value, const QString& key)
{
    setObject(PlistValue(value), key);
}

void UserDefaults::setDouble(double value, const QString& key)
{
    setObject(PlistValue(value), key);
}

void UserDefaults::removeObjectForKey(const QString& key)
{
    if (!m_user.contains(key))
        return;
    changeValues({key}, [&] { m_user.remove(key); });
    scheduleWrite();
}

bool UserDefaults::hasUserValue(const QString& key) const
{
    return m_user.contains(key);
}

PlistDictionary UserDefaults::dictionaryRepresentation() const
{
    PlistDictionary merged = m_registered;
    for (const auto& entry : m_user) {
        if (const PlistValue* usable = usableStoredValue(entry.first))
            merged.insert(entry.first, *usable);
    }
    return merged;
}

void UserDefaults::setPersistentDomain(const PlistDictionary& values)
{
    QStringList keys;
    for (const auto& entry : m_user)
        keys.append(entry.first);
    for (const auto& entry : values)
        keys.append(entry.first);
    changeValues(keys, [&] { m_user = values; });
    scheduleWrite();
}

void UserDefaults::resetUserValues(const QStringList& keysToKeep)
{
    PlistDictionary kept;
    QStringList keys;
    for (const auto& [key, value] : m_user) {
        if (keysToKeep.contains(key))
            kept.insert(key, value);
        else
            keys.append(key);
    }
    if (keys.isEmpty())
        return;
    changeValues(keys, [&] { m_user = std::move(kept); });
    scheduleWrite();
}

void UserDefaults::changeValues(const QStringList& keys, const std::function<void()>& change)
{
    if (m_observers.empty()) {
        change();
        return;
    }
    std::vector<std::pair<QString, PlistValue>> before;
    for (const QString& key : keys) {
        if (std::none_of(before.begin(), before.end(), [&](const auto& seen) { return seen.first == key; }))
            before.emplace_back(key, effectiveValue(key));
    }
    change();
    for (const auto& [key, oldValue] : before) {
        if (!(effectiveValue(key) == oldValue))
            notify(key);
    }
}

void UserDefaults::notify(const QString& key)
{
    // Observers may come and go while being called, so each is looked up again by its token.
    std::vector<ObserverToken> tokens;
    for (const Registration& registration : m_observers) {
        if (registration.key == key)
            tokens.push_back(registration.token);
    }
    for (ObserverToken token : tokens) {
        const auto it =
            std::find_if(m_observers.begin(), m_observers.end(),
                         [token](const Registration& registration) { return registration.token == token; });
        if (it == m_observers.end())
            continue;
        const Observer observer = it->observer; // a copy survives the observer removing itself
        observer(key);
    }
}

UserDefaults::ObserverToken UserDefaults::addObserver(const QString& key, Observer observer)
{
    const ObserverToken token = m_nextToken++;
    m_observers.push_back({token, key, std::move(observer)});
    return token;
}

void UserDefaults::removeObserver(ObserverToken token)
{
    std::erase_if(m_observers,
                  [token](const Registration& registration) { return registration.token == token; });
}

void UserDefaults::scheduleWrite()
{
    m_dirty = true;
    if (m_writeScheduled)
        return;
    if (!QCoreApplication::instance()) {
        synchronize();
        return;
    }
    // Many changes in one pass of the event loop (a reset, a slider drag) make one write.
    m_writeScheduled = true;
    QMetaObject::invokeMethod(
        m_writeContext.get(),
        [this] {
            m_writeScheduled = false;
            if (m_dirty)
                synchronize();
        },
        Qt::QueuedConnection);
}

bool UserDefaults::synchronize(Error* error)
{
    if (!m_dirty)
        return true;
    const QUrl url = QUrl::fromLocalFile(m_filePath);
    auto failWith = [&](const QString& reason) {
        qWarning("Could not write the settings file %s: %s", qPrintable(m_filePath), qPrintable(reason));
        setError(error, Error::cocoa(kFileWriteUnknownError, url, reason));
        return false;
    };
    if (m_writeBlocked)
        return failWith(QStringLiteral("the existing file could not be read, so it is left alone"));
    Error serializationError;
    const std::optional<QByteArray> data = PropertyListSerialization::dataWithPropertyList(
        m_user, PropertyListSerialization::Format::Xml, &serializationError);
    if (!data)
        return failWith(serializationError.localizedFailureReason());
    if (!QDir().mkpath(QFileInfo(m_filePath).absolutePath()))
        return failWith(QStringLiteral("its folder could not be made"));
    if (const QString reason = writeAtomically(m_filePath, *data); !reason.isEmpty())
        return failWith(reason);
    m_dirty = false;
    return true;
}
