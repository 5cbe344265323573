// Feeds the keyed unarchiver two ways: the bytes as they come (through the property-list
// reader), and, when the first byte is odd, an object table built from the bytes directly, which
// reaches references, classes and cycles far sooner than random property lists would.
// Whatever decodes must archive again and decode again.
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <cstdint>
#include <cstdlib>

namespace {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_at >= m_size; }
    uint8_t next() { return m_at < m_size ? m_data[m_at++] : 0; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

const char* const kNames[] = {"$null",   "NSArray",    "NSMutableArray", "NSDictionary",
                              "NSColor", "OVBookmark", "NSString",       "NSMutableString",
                              "NSData",  "NSDate",     "NSWindow",       "NSObject"};
const char* const kKeys[] = {"NS.objects", "NS.keys", "NS.string", "NS.data", "NS.time", "NSColorSpace",
                             "NSRGB",      "NSWhite", "NSColor",   "name",    "type",    "$class"};
const char* const kComponents[] = {"1 0.5 0",   "0.5", "0.25 0.5 0.75 0.5", "1e308 1 1", "x",
                                   "1 2 3 4 5", "0 0"};

PlistValue uid(ByteReader& in, size_t count)
{
    const uint8_t b = in.next();
    // Mostly in range, sometimes just past it, rarely anywhere.
    if (b == 0xff)
        return PlistUid{quint64(in.next()) << 56};
    return PlistUid{count ? quint64(b) % (count + 1) : b};
}

PlistValue scalar(ByteReader& in)
{
    switch (in.next() % 6) {
    case 0:
        return QString::fromLatin1(kNames[in.next() % std::size(kNames)]);
    case 1:
        return qint64(int8_t(in.next()));
    case 2:
        return double(int8_t(in.next())) / 4;
    case 3:
        return QByteArray(kComponents[in.next() % std::size(kComponents)]);
    case 4:
        return bool(in.next() & 1);
    default:
        return PlistArray{};
    }
}

PlistValue entry(ByteReader& in, size_t count)
{
    const uint8_t op = in.next();
    switch (op % 5) {
    case 0:
        return scalar(in);
    case 1: {
        PlistDictionary classEntry;
        classEntry.insert("$classname", QString::fromLatin1(kNames[in.next() % std::size(kNames)]));
        classEntry.insert("$classes", PlistArray{QString::fromLatin1(kNames[in.next() % std::size(kNames)])});
        return classEntry;
    }
    default: {
        PlistDictionary object;
        const int fields = in.next() % 5;
        for (int i = 0; i < fields && !in.atEnd(); ++i) {
            const QString key = QString::fromLatin1(kKeys[in.next() % std::size(kKeys)]);
            const uint8_t kind = in.next() % 3;
            if (kind == 0) {
                PlistArray references;
                const int length = in.next() % 8;
                for (int j = 0; j < length; ++j)
                    references.push_back(uid(in, count));
                object.insert(key, references);
            } else if (kind == 1) {
                object.insert(key, uid(in, count));
            } else {
                object.insert(key, scalar(in));
            }
        }
        return object;
    }
    }
}

PlistValue structuredArchive(ByteReader& in)
{
    const size_t count = 1 + in.next() % 64;
    PlistArray objects{QStringLiteral("$null")};
    for (size_t i = 1; i < count; ++i)
        objects.push_back(entry(in, count));
    PlistDictionary top;
    top.insert("root", uid(in, count));
    PlistDictionary archive;
    archive.insert("$archiver", "NSKeyedArchiver");
    archive.insert("$objects", objects);
    archive.insert("$top", top);
    archive.insert("$version", 100000);
    return archive;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QSet<QString> allowed{"NSArray",  "NSMutableArray",  "NSDictionary", "NSColor", "OVBookmark",
                                       "NSString", "NSMutableString", "NSData",       "NSDate"};
    Error error;
    std::optional<ArchiveValue> decoded;
    if (size > 0 && (data[0] & 1)) {
        ByteReader in(data + 1, size - 1);
        decoded =
            KeyedUnarchiver::unarchivedRootObjectFromPropertyList(structuredArchive(in), allowed, &error);
    } else {
        const QByteArray bytes =
            QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
        decoded = KeyedUnarchiver::unarchivedRootObject(bytes, allowed, &error);
    }
    if (!decoded) {
        if (error.code() != kCoderReadCorruptError)
            std::abort();
        return 0;
    }
    if (!KeyedUnarchiver::unarchivedRootObject(KeyedArchiver::archivedData(*decoded), allowed, &error))
        std::abort();
    return 0;
}
