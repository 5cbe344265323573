#pragma once

#include "platform/foundation/ArchiveValue.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// An object of one of the system's own classes as a keyed archive holds it: its class, the
// classes it descends from, and what it encoded under each key. A class archives itself by
// filling one of these and reads itself back from one.
class ArchiveObject {
public:
    // A value under a key: an object is stored in the archive's object table and referenced; an
    // integer, real, boolean or bytes encoded as such is stored inline in the object's entry.
    struct Field {
        QString key;
        ArchiveValue value;
        bool isReference = false;
        bool operator==(const Field&) const = default;
    };

    // superclasses from the nearest up; "NSObject" closes the chain whether given or not.
    explicit ArchiveObject(QString className, QStringList superclasses = {});
    // An object as a reader finds it: the class chain as the archive lists it, and fields in
    // which a key that occurs again replaces the earlier value in its place.
    static ArchiveObject fromFields(QString className, QStringList classes, std::vector<Field> fields);

    const QString& className() const { return m_className; }
    // The class, its superclasses, "NSObject" last: what the archive's class entry lists.
    const QStringList& classes() const { return m_classes; }

    // Encoding under a key already used replaces the earlier value.
    void encodeObject(const QString& key, ArchiveValue value);
    void encodeInteger(const QString& key, qint64 value);
    void encodeDouble(const QString& key, double value);
    void encodeBool(const QString& key, bool value);
    void encodeBytes(const QString& key, QByteArray value);

    bool containsValueForKey(const QString& key) const { return find(key) != nullptr; }
    // The object under key; nil when it is absent or an inline value.
    ArchiveValue decodeObject(const QString& key) const;
    // Each of these answers nothing when the key is absent or holds something else; absent and
    // wrong can be told apart with containsValueForKey.
    std::optional<qint64> decodeInteger(const QString& key) const;
    // An inline integer reads as a real too.
    std::optional<double> decodeDouble(const QString& key) const;
    std::optional<bool> decodeBool(const QString& key) const;
    std::optional<QByteArray> decodeBytes(const QString& key) const;

    const std::vector<Field>& fields() const { return m_fields; }

    bool operator==(const ArchiveObject& other) const;

private:
    const Field* find(const QString& key) const;
    void set(const QString& key, ArchiveValue value, bool isReference);

    QString m_className;
    QStringList m_classes;
    std::vector<Field> m_fields;
};
