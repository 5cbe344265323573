#include "platform/foundation/PlistBinary.h"

#include "platform/foundation/PropertyListSerialization.h"

#include <QHash>

#include <bit>
#include <cstring>
#include <deque>
#include <limits>
#include <unordered_map>

namespace {

constexpr char kMagic[] = "bplist00";
constexpr qsizetype kMagicSize = 8;
constexpr qsizetype kTrailerSize = 32;

enum Marker : uchar {
    kMarkerNull = 0x00,
    kMarkerFalse = 0x08,
    kMarkerTrue = 0x09,
    kMarkerFill = 0x0F,
    kMarkerInteger = 0x10,
    kMarkerReal = 0x20,
    kMarkerDate = 0x33,
    kMarkerData = 0x40,
    kMarkerAsciiString = 0x50,
    kMarkerUtf16String = 0x60,
    kMarkerUid = 0x80,
    kMarkerArray = 0xA0,
    kMarkerSet = 0xC0,
    kMarkerDictionary = 0xD0,
};

quint64 readBigEndian(const uchar* p, int width)
{
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | p[i];
    return value;
}

void appendBigEndian(QByteArray& out, quint64 value, int width)
{
    char bytes[8] = {};
    for (int i = 0; i < width; ++i)
        bytes[i] = char((value >> (8 * (width - 1 - i))) & 0xFF);
    out.append(bytes, width);
}

// The narrowest of 1, 2, 4 or 8 bytes that holds value.
int widthFor(quint64 value)
{
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    if (value <= 0xFFFFFFFFu)
        return 4;
    return 8;
}

int log2Width(int width)
{
    return std::countr_zero(unsigned(width));
}

class BinaryReader {
public:
    BinaryReader(const QByteArray& data, QString* failureReason)
        : m_data(reinterpret_cast<const uchar*>(data.constData())), m_size(data.size()),
          m_failureReason(failureReason)
    {
    }

    std::optional<PlistValue> read()
    {
        if (!readTrailer())
            return std::nullopt;
        m_onPath.assign(size_t(m_objectCount), false);
        m_leafCache.resize(size_t(m_objectCount));
        // Every value built from a container slot costs at least one byte of input unless
        // containers are shared, so this bound only stops inputs that share containers to
        // multiply themselves (each level referring twice to the next).
        m_budget = m_size * 2 + 1024;
        PlistValue root;
        if (!readObject(m_topObject, 0, root))
            return std::nullopt;
        return root;
    }

private:
    bool fail(const QString& reason)
    {
        if (m_failureReason && m_failureReason->isEmpty())
            *m_failureReason = reason;
        return false;
    }

    bool readTrailer()
    {
        if (m_size < kMagicSize + 1 + kTrailerSize)
            return fail(QStringLiteral("binary property list is truncated"));
        if (std::memcmp(m_data, kMagic, kMagicSize) != 0)
            return fail(QStringLiteral("not a binary property list (bad magic)"));
        const uchar* trailer = m_data + m_size - kTrailerSize;
        m_offsetSize = trailer[6];
        m_refSize = trailer[7];
        m_objectCount = readBigEndian(trailer + 8, 8);
        m_topObject = readBigEndian(trailer + 16, 8);
        m_tableOffset = readBigEndian(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return fail(QStringLiteral("binary property list trailer has invalid sizes"));
        const quint64 tableEnd = quint64(m_size - kTrailerSize);
        if (m_objectCount == 0 || m_topObject >= m_objectCount)
            return fail(QStringLiteral("binary property list trailer has invalid object counts"));
        if (m_tableOffset < quint64(kMagicSize + 1) || m_tableOffset > tableEnd)
            return fail(QStringLiteral("binary property list offset table is out of bounds"));
        // Division rather than multiplication so a huge count cannot overflow past the check.
        if (m_objectCount > (tableEnd - m_tableOffset) / quint64(m_offsetSize))
            return fail(QStringLiteral("binary property list offset table is truncated"));
        return true;
    }

    bool objectOffset(quint64 index, quint64* offset)
    {
        if (index >= m_objectCount)
            return fail(QStringLiteral("binary property list refers to object %1 of %2")
                            .arg(index)
                            .arg(m_objectCount));
        *offset = readBigEndian(m_data + m_tableOffset + index * quint64(m_offsetSize), m_offsetSize);
        if (*offset < quint64(kMagicSize) || *offset >= m_tableOffset)
            return fail(QStringLiteral("binary property list object %1 lies out of bounds").arg(index));
        return true;
    }

    // Bytes left between pos and the offset table, where objects end.
    quint64 available(quint64 pos) const { return pos <= m_tableOffset ? m_tableOffset - pos : 0; }

    // The element or byte count of the object whose marker is at pos; pos moves past it.
    bool readCount(quint64& pos, quint64* count)
    {
        const uchar marker = m_data[pos++];
        if ((marker & 0x0F) != 0x0F) {
            *count = marker & 0x0F;
            return true;
        }
        if (available(pos) < 1)
            return fail(QStringLiteral("binary property list count is truncated"));
        const uchar intMarker = m_data[pos++];
        if ((intMarker & 0xF0) != kMarkerInteger || (intMarker & 0x0F) > 3)
            return fail(QStringLiteral("binary property list count is not an integer"));
        const int width = 1 << (intMarker & 0x0F);
        if (available(pos) < quint64(width))
            return fail(QStringLiteral("binary property list count is truncated"));
        *count = readBigEndian(m_data + pos, width);
        pos += quint64(width);
        if (width == 8 && qint64(*count) < 0)
            return fail(QStringLiteral("binary property list count is negative"));
        return true;
    }

    bool spend(quint64 values)
    {
        if (values > quint64(m_budget))
            return fail(QStringLiteral("binary property list expands beyond its size"));
        m_budget -= qint64(values);
        return true;
    }

    // Fills out, which the caller gives as a null value, so nothing is moved on the way back.
    bool readObject(quint64 index, int depth, PlistValue& out)
    {
        if (depth > kPropertyListMaximumDepth)
            return fail(
                QStringLiteral("binary property list nests deeper than %1").arg(kPropertyListMaximumDepth));
        if (!spend(1))
            return false;
        if (index < m_objectCount && !m_leafCache[size_t(index)].isNull()) {
            out = m_leafCache[size_t(index)];
            return true;
        }
        quint64 pos = 0;
        if (!objectOffset(index, &pos))
            return false;
        const uchar type = m_data[pos] & 0xF0;
        if (type == kMarkerArray || type == kMarkerSet || type == kMarkerDictionary) {
            if (m_onPath[size_t(index)])
                return fail(QStringLiteral("binary property list object %1 contains itself").arg(index));
            m_onPath[size_t(index)] = true;
            const bool ok =
                type == kMarkerDictionary ? readDictionary(pos, depth, out) : readArray(pos, depth, out);
            m_onPath[size_t(index)] = false;
            return ok;
        }
        std::optional<PlistValue> value = readLeaf(pos);
        if (!value)
            return false;
        m_leafCache[size_t(index)] = *value;
        out = std::move(*value);
        return true;
    }

    std::optional<PlistValue> readLeaf(quint64 pos)
    {
        const uchar marker = m_data[pos];
        const uchar type = marker & 0xF0;
        const int info = marker & 0x0F;
        switch (type) {
        case 0x00:
            if (marker == kMarkerTrue || marker == kMarkerFalse)
                return PlistValue(marker == kMarkerTrue);
            break;
        case kMarkerInteger:
            return readInteger(pos + 1, info);
        case kMarkerReal:
            return readReal(pos + 1, info);
        case 0x30:
            if (marker != kMarkerDate)
                break;
            if (available(pos + 1) < 8) {
                fail(QStringLiteral("binary property list date is truncated"));
                return std::nullopt;
            }
            return PlistValue(PlistDate{std::bit_cast<double>(readBigEndian(m_data + pos + 1, 8))});
        case kMarkerData:
        case kMarkerAsciiString:
        case kMarkerUtf16String:
            return readBytes(pos);
        case kMarkerUid: {
            const int width = info + 1;
            if (width > 8 || available(pos + 1) < quint64(width)) {
                fail(QStringLiteral("binary property list UID is invalid"));
                return std::nullopt;
            }
            return PlistValue(PlistUid{readBigEndian(m_data + pos + 1, width)});
        }
        default:
            break;
        }
        fail(QStringLiteral("binary property list has unknown object type 0x%1")
                 .arg(marker, 2, 16, QChar('0')));
        return std::nullopt;
    }

    std::optional<PlistValue> readInteger(quint64 pos, int log2)
    {
        if (log2 > 4) {
            fail(QStringLiteral("binary property list integer is wider than 16 bytes"));
            return std::nullopt;
        }
        const int width = 1 << log2;
        if (available(pos) < quint64(width)) {
            fail(QStringLiteral("binary property list integer is truncated"));
            return std::nullopt;
        }
        if (width < 8)
            return PlistValue(qint64(readBigEndian(m_data + pos, width)));
        if (width == 8)
            return PlistValue(qint64(readBigEndian(m_data + pos, 8)));
        // Sixteen bytes hold a signed 128-bit number; only the part a 64-bit value can carry is
        // accepted: unsigned values above the signed range, and negatives written wide.
        const quint64 high = readBigEndian(m_data + pos, 8);
        const quint64 low = readBigEndian(m_data + pos + 8, 8);
        if (high == 0)
            return PlistValue::unsignedInteger(low);
        if (high == ~quint64(0) && qint64(low) < 0)
            return PlistValue(qint64(low));
        fail(QStringLiteral("binary property list integer does not fit in 64 bits"));
        return std::nullopt;
    }

    std::optional<PlistValue> readReal(quint64 pos, int log2)
    {
        if (log2 != 2 && log2 != 3) {
            fail(QStringLiteral("binary property list real has an invalid width"));
            return std::nullopt;
        }
        const int width = 1 << log2;
        if (available(pos) < quint64(width)) {
            fail(QStringLiteral("binary property list real is truncated"));
            return std::nullopt;
        }
        const quint64 bits = readBigEndian(m_data + pos, width);
        if (width == 4)
            return PlistValue(double(std::bit_cast<float>(quint32(bits))));
        return PlistValue(std::bit_cast<double>(bits));
    }

    std::optional<PlistValue> readBytes(quint64 pos)
    {
        const uchar type = m_data[pos] & 0xF0;
        quint64 count = 0;
        if (!readCount(pos, &count))
            return std::nullopt;
        const quint64 unitSize = type == kMarkerUtf16String ? 2 : 1;
        if (count > available(pos) / unitSize) {
            fail(QStringLiteral("binary property list string or data runs past the end"));
            return std::nullopt;
        }
        const char* bytes = reinterpret_cast<const char*>(m_data + pos);
        if (type == kMarkerData)
            return PlistValue(QByteArray(bytes, qsizetype(count)));
        if (type == kMarkerAsciiString) {
            for (quint64 i = 0; i < count; ++i) {
                if (m_data[pos + i] & 0x80) {
                    fail(QStringLiteral("binary property list ASCII string holds a non-ASCII byte"));
                    return std::nullopt;
                }
            }
            return PlistValue(QString::fromLatin1(bytes, qsizetype(count)));
        }
        QString text(qsizetype(count), Qt::Uninitialized);
        char16_t* units = reinterpret_cast<char16_t*>(text.data());
        for (quint64 i = 0; i < count; ++i)
            units[i] = char16_t((m_data[pos + 2 * i] << 8) | m_data[pos + 2 * i + 1]);
        for (quint64 i = 0; i < count; ++i) {
            const char16_t unit = units[i];
            if (QChar::isHighSurrogate(unit) && i + 1 < count && QChar::isLowSurrogate(units[i + 1])) {
                ++i;
                continue;
            }
            if (QChar::isSurrogate(unit)) {
                fail(QStringLiteral("binary property list string holds an unpaired surrogate"));
                return std::nullopt;
            }
        }
        return PlistValue(std::move(text));
    }

    // Checks that count references fit before the offset table; they are read in place.
    bool checkReferences(quint64 pos, quint64 count)
    {
        if (count > available(pos) / quint64(m_refSize))
            return fail(QStringLiteral("binary property list container runs past the end"));
        return true;
    }

    quint64 reference(quint64 pos, quint64 i) const
    {
        return readBigEndian(m_data + pos + i * quint64(m_refSize), m_refSize);
    }

    bool readArray(quint64 pos, int depth, PlistValue& out)
    {
        quint64 count = 0;
        if (!readCount(pos, &count) || !checkReferences(pos, count))
            return false;
        PlistArray& array = out.array();
        array.resize(size_t(count));
        for (quint64 i = 0; i < count; ++i) {
            if (!readObject(reference(pos, i), depth + 1, array[size_t(i)]))
                return false;
        }
        return true;
    }

    bool readDictionary(quint64 pos, int depth, PlistValue& out)
    {
        quint64 count = 0;
        if (!readCount(pos, &count))
            return false;
        if (count > std::numeric_limits<quint64>::max() / 2)
            return fail(QStringLiteral("binary property list dictionary count overflows"));
        if (!checkReferences(pos, count * 2))
            return false;
        PlistDictionary& dictionary = out.dictionary();
        dictionary.reserve(qsizetype(count));
        for (quint64 i = 0; i < count; ++i) {
            PlistValue key;
            if (!readObject(reference(pos, i), depth + 1, key))
                return false;
            if (!key.isString())
                return fail(QStringLiteral("binary property list dictionary key is not a string"));
            PlistValue& value = dictionary[key.string()];
            value = PlistValue(); // a repeated key keeps its place and takes the later value
            if (!readObject(reference(pos, count + i), depth + 1, value))
                return false;
        }
        return true;
    }

    const uchar* m_data;
    qsizetype m_size;
    QString* m_failureReason;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_topObject = 0;
    quint64 m_tableOffset = 0;
    qint64 m_budget = 0;
    std::vector<bool> m_onPath;
    std::vector<PlistValue> m_leafCache;
};

struct QtHash {
    size_t operator()(const QString& s) const { return qHash(s); }
    size_t operator()(const QByteArray& b) const { return qHash(b); }
};

class BinaryWriter {
public:
    explicit BinaryWriter(QString* failureReason) : m_failureReason(failureReason) {}

    std::optional<QByteArray> write(const PlistValue& root)
    {
        if (!flatten(root, 0))
            return std::nullopt;
        m_refSize = widthFor(m_objects.size());
        QByteArray out;
        out.reserve(qsizetype(m_objects.size()) * 16 + 64);
        out.append(kMagic, kMagicSize);
        std::vector<quint64> offsets;
        offsets.reserve(m_objects.size());
        for (size_t i = 0; i < m_objects.size(); ++i) {
            offsets.push_back(quint64(out.size()));
            writeObject(out, m_objects[i]);
        }
        const quint64 tableOffset = quint64(out.size());
        const int offsetSize = widthFor(tableOffset);
        for (quint64 offset : offsets)
            appendBigEndian(out, offset, offsetSize);
        out.append(6, '\0');
        out.append(char(offsetSize));
        out.append(char(m_refSize));
        appendBigEndian(out, m_objects.size(), 8);
        appendBigEndian(out, 0, 8);
        appendBigEndian(out, tableOffset, 8);
        return out;
    }

private:
    struct Object {
        const PlistValue* value;
        size_t firstRef; // into m_refs, for containers
    };

    struct IntegerKey {
        quint64 bits;
        bool isUnsigned;
        bool operator==(const IntegerKey&) const = default;
    };
    struct IntegerKeyHash {
        size_t operator()(const IntegerKey& key) const
        {
            return std::hash<quint64>()(key.bits) ^ key.isUnsigned;
        }
    };

    bool fail(const QString& reason)
    {
        if (m_failureReason)
            *m_failureReason = reason;
        return false;
    }

    // An already written equal value's index, or the index the value gets now.
    template <typename Map, typename Key>
    quint64 unique(Map& map, const Key& key, const PlistValue& value, bool* isNew)
    {
        auto [it, inserted] = map.try_emplace(key, quint64(m_objects.size()));
        *isNew = inserted;
        if (inserted)
            m_objects.push_back({&value, 0});
        return it->second;
    }

    std::optional<quint64> uniqueLeaf(const PlistValue& value)
    {
        bool isNew = false;
        switch (value.type()) {
        case PlistValue::Type::String:
            return unique(m_strings, value.string(), value, &isNew);
        case PlistValue::Type::Data:
            return unique(m_data, value.data(), value, &isNew);
        case PlistValue::Type::Integer:
            return unique(m_integers, IntegerKey{value.unsignedValue(), value.isUnsignedInteger()}, value,
                          &isNew);
        case PlistValue::Type::Real:
            return unique(m_reals, std::bit_cast<quint64>(value.real()), value, &isNew);
        case PlistValue::Type::Date:
            return unique(m_dates, std::bit_cast<quint64>(value.date().secondsSinceReferenceDate), value,
                          &isNew);
        case PlistValue::Type::Uid:
            return unique(m_uids, value.uid().value, value, &isNew);
        case PlistValue::Type::Boolean:
            return unique(m_booleans, value.boolean(), value, &isNew);
        default:
            return std::nullopt;
        }
    }

    // Numbers the objects depth first, each container before its contents, keys before values.
    bool flatten(const PlistValue& value, int depth)
    {
        if (depth > kPropertyListMaximumDepth)
            return fail(QStringLiteral("property list nests deeper than %1").arg(kPropertyListMaximumDepth));
        if (value.isNull())
            return fail(QStringLiteral("property list holds a null value"));
        if (!value.isArray() && !value.isDictionary()) {
            m_lastIndex = *uniqueLeaf(value);
            return true;
        }
        const size_t index = m_objects.size();
        const size_t count = value.isArray() ? value.array().size() : value.dictionary().entries().size() * 2;
        m_objects.push_back({&value, m_refs.size()});
        m_refs.resize(m_refs.size() + count);
        size_t slot = m_objects[index].firstRef;
        if (value.isArray()) {
            for (const PlistValue& element : value.array()) {
                if (!flatten(element, depth + 1))
                    return false;
                m_refs[slot++] = m_lastIndex;
            }
        } else {
            const auto& entries = value.dictionary().entries();
            for (const auto& entry : entries) {
                const auto known = m_strings.find(entry.first);
                if (known != m_strings.end()) {
                    m_refs[slot++] = known->second;
                    continue;
                }
                bool isNew = false;
                m_keyValues.push_back(PlistValue(entry.first));
                m_refs[slot++] = unique(m_strings, entry.first, m_keyValues.back(), &isNew);
            }
            for (const auto& entry : entries) {
                if (!flatten(entry.second, depth + 1))
                    return false;
                m_refs[slot++] = m_lastIndex;
            }
        }
        m_lastIndex = index;
        return true;
    }

    void writeMarker(QByteArray& out, uchar type, quint64 count)
    {
        if (count < 15) {
            out.append(char(type | count));
            return;
        }
        out.append(char(type | 0x0F));
        const int width = widthFor(count);
        out.append(char(kMarkerInteger | log2Width(width)));
        appendBigEndian(out, count, width);
    }

    void writeObject(QByteArray& out, const Object& object)
    {
        const PlistValue& value = *object.value;
        switch (value.type()) {
        case PlistValue::Type::Boolean:
            out.append(char(value.boolean() ? kMarkerTrue : kMarkerFalse));
            break;
        case PlistValue::Type::Integer:
            writeInteger(out, value);
            break;
        case PlistValue::Type::Real:
            out.append(char(kMarkerReal | 3));
            appendBigEndian(out, std::bit_cast<quint64>(value.real()), 8);
            break;
        case PlistValue::Type::Date:
            out.append(char(kMarkerDate));
            appendBigEndian(out, std::bit_cast<quint64>(value.date().secondsSinceReferenceDate), 8);
            break;
        case PlistValue::Type::Data: {
            const QByteArray data = value.data();
            writeMarker(out, kMarkerData, quint64(data.size()));
            out.append(data);
            break;
        }
        case PlistValue::Type::String:
            writeString(out, value.string());
            break;
        case PlistValue::Type::Uid: {
            const int width = widthFor(value.uid().value);
            out.append(char(kMarkerUid | (width - 1)));
            appendBigEndian(out, value.uid().value, width);
            break;
        }
        case PlistValue::Type::Array:
        case PlistValue::Type::Dictionary: {
            const bool isArray = value.isArray();
            const size_t count = isArray ? value.array().size() : value.dictionary().entries().size();
            writeMarker(out, isArray ? kMarkerArray : kMarkerDictionary, count);
            const size_t refCount = isArray ? count : count * 2;
            for (size_t i = 0; i < refCount; ++i)
                appendBigEndian(out, m_refs[object.firstRef + i], m_refSize);
            break;
        }
        case PlistValue::Type::Null:
            break;
        }
    }

    void writeInteger(QByteArray& out, const PlistValue& value)
    {
        if (value.isUnsignedInteger()) {
            out.append(char(kMarkerInteger | 4));
            appendBigEndian(out, 0, 8);
            appendBigEndian(out, value.unsignedValue(), 8);
            return;
        }
        const qint64 number = value.integer();
        // Negative numbers always take eight bytes: narrower widths are read as unsigned.
        const int width = number < 0 ? 8 : widthFor(quint64(number));
        out.append(char(kMarkerInteger | log2Width(width)));
        appendBigEndian(out, quint64(number), width);
    }

    void writeString(QByteArray& out, const QString& text)
    {
        bool ascii = true;
        for (QChar c : text) {
            if (c.unicode() >= 0x80) {
                ascii = false;
                break;
            }
        }
        if (ascii) {
            writeMarker(out, kMarkerAsciiString, quint64(text.size()));
            out.append(text.toLatin1());
            return;
        }
        writeMarker(out, kMarkerUtf16String, quint64(text.size()));
        const qsizetype start = out.size();
        out.resize(start + text.size() * 2);
        char* p = out.data() + start;
        for (QChar c : text) {
            *p++ = char(c.unicode() >> 8);
            *p++ = char(c.unicode() & 0xFF);
        }
    }

    QString* m_failureReason;
    std::vector<Object> m_objects;
    std::vector<quint64> m_refs;
    // Keys are QStrings, not values; those written get a value here that outlives the writing.
    std::deque<PlistValue> m_keyValues;
    quint64 m_lastIndex = 0;
    int m_refSize = 1;
    std::unordered_map<QString, quint64, QtHash> m_strings;
    std::unordered_map<QByteArray, quint64, QtHash> m_data;
    std::unordered_map<IntegerKey, quint64, IntegerKeyHash> m_integers;
    std::unordered_map<quint64, quint64> m_reals;
    std::unordered_map<quint64, quint64> m_dates;
    std::unordered_map<quint64, quint64> m_uids;
    std::unordered_map<bool, quint64> m_booleans;
};

} // namespace

bool PlistBinary::hasMagic(const QByteArray& data)
{
    return data.startsWith(QByteArrayView(kMagic, kMagicSize));
}

std::optional<PlistValue> PlistBinary::read(const QByteArray& data, QString* failureReason)
{
    return BinaryReader(data, failureReason).read();
}

std::optional<QByteArray> PlistBinary::write(const PlistValue& value, QString* failureReason)
{
    return BinaryWriter(failureReason).write(value);
}
