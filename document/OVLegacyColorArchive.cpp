#include "document/OVLegacyColorArchive.h"

#include <QByteArray>
#include <QList>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace {

// Marks of the stream: what follows a byte that is not a small integer.
constexpr quint8 kInt16 = 0x81;
constexpr quint8 kInt32 = 0x82;
constexpr quint8 kReal = 0x83;
constexpr quint8 kNew = 0x84;
constexpr quint8 kNil = 0x85;
constexpr quint8 kEnd = 0x86;
// Bytes from here up are references to strings or classes met earlier.
constexpr quint8 kFirstReference = 0x92;
constexpr int kMaxClassDepth = 16;
constexpr qsizetype kMaxSharedStrings = 64;

enum ColorSpace { CalibratedRGB = 1, DeviceRGB = 2, CalibratedWhite = 3, DeviceWhite = 4 };

class Reader {
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}

    bool byte(quint8& out)
    {
        if (m_pos >= m_data.size())
            return false;
        out = quint8(m_data[m_pos++]);
        return true;
    }

    bool peek(quint8& out) const
    {
        if (m_pos >= m_data.size())
            return false;
        out = quint8(m_data[m_pos]);
        return true;
    }

    bool bytes(qsizetype count, QByteArrayView& out)
    {
        if (count < 0 || m_data.size() - m_pos < count)
            return false;
        out = m_data.sliced(m_pos, count);
        m_pos += count;
        return true;
    }

    bool integer(qint64& out)
    {
        quint8 head = 0;
        if (!byte(head))
            return false;
        QByteArrayView raw;
        if (head == kInt16) {
            if (!bytes(2, raw))
                return false;
            out = qFromLittleEndian<qint16>(raw.data());
            return true;
        }
        if (head == kInt32) {
            if (!bytes(4, raw))
                return false;
            out = qFromLittleEndian<qint32>(raw.data());
            return true;
        }
        if (head >= kInt16 && head <= kEnd)
            return false;
        out = qint8(head);
        return true;
    }

    // A float as stored: a whole value as an integer, anything else marked and in four bytes.
    bool real(double& out)
    {
        quint8 head = 0;
        if (!peek(head))
            return false;
        if (head != kReal) {
            qint64 whole = 0;
            if (!integer(whole))
                return false;
            out = double(whole);
            return true;
        }
        ++m_pos;
        QByteArrayView raw;
        if (!bytes(4, raw))
            return false;
        const quint32 bits = qFromLittleEndian<quint32>(raw.data());
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        out = value;
        return std::isfinite(out);
    }

    // The object closes here: a stream cut short or carrying more is not the colour it seems.
    bool objectEnd()
    {
        quint8 head = 0;
        return byte(head) && head == kEnd;
    }

    // A string kept in the stream's table: new ones are read and remembered, references looked up.
    bool sharedString(QByteArray& out)
    {
        quint8 head = 0;
        if (!byte(head))
            return false;
        if (head >= kFirstReference) {
            const qsizetype index = head - kFirstReference;
            if (index >= m_strings.size())
                return false;
            out = m_strings[index];
            return true;
        }
        if (head != kNew || m_strings.size() >= kMaxSharedStrings)
            return false;
        qint64 length = 0;
        QByteArrayView raw;
        if (!integer(length) || !bytes(length, raw))
            return false;
        out = raw.toByteArray();
        m_strings.append(out);
        return true;
    }

    // A class and its superclasses, ending in nil or a class met before.
    bool classChain(QByteArray& className)
    {
        for (int depth = 0; depth < kMaxClassDepth; ++depth) {
            quint8 head = 0;
            if (!byte(head))
                return false;
            if (head == kNil || head >= kFirstReference)
                return depth > 0;
            if (head != kNew)
                return false;
            QByteArray name;
            qint64 version = 0;
            if (!sharedString(name) || !integer(version))
                return false;
            if (depth == 0)
                className = name;
        }
        return false;
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    QList<QByteArray> m_strings;
};

bool inUnitRange(double value)
{
    return value >= 0 && value <= 1;
}

void appendInteger(QByteArray& out, qint64 value)
{
    if (value >= -110 && value <= 127 && !(quint8(value) >= kInt16 && quint8(value) <= kEnd)) {
        out.append(char(qint8(value)));
        return;
    }
    char raw[2];
    qToLittleEndian(qint16(value), raw);
    out.append(char(kInt16));
    out.append(raw, 2);
}

void appendReal(QByteArray& out, double value)
{
    if (value == std::floor(value) && std::fabs(value) < 100) {
        appendInteger(out, qint64(value));
        return;
    }
    const float single = float(value);
    quint32 bits = 0;
    std::memcpy(&bits, &single, sizeof bits);
    char raw[4];
    qToLittleEndian(bits, raw);
    out.append(char(kReal));
    out.append(raw, 4);
}

void appendNewString(QByteArray& out, const QByteArray& string)
{
    out.append(char(kNew));
    appendInteger(out, string.size());
    out.append(string);
}

} // namespace

std::optional<Color> OVLegacyColorArchive::unarchivedColor(QByteArrayView data)
{
    if (data.size() > kMaxBytes)
        return std::nullopt;
    Reader reader(data);
    quint8 version = 0;
    qint64 signatureLength = 0;
    QByteArrayView signature;
    qint64 systemVersion = 0;
    if (!reader.byte(version) || !reader.integer(signatureLength) ||
        !reader.bytes(signatureLength, signature) || signature != QByteArrayView("streamtyped") ||
        !reader.integer(systemVersion))
        return std::nullopt;

    QByteArray type;
    quint8 head = 0;
    QByteArray className;
    if (!reader.sharedString(type) || type != "@" || !reader.byte(head) || head != kNew ||
        !reader.classChain(className) || className != "NSColor")
        return std::nullopt;

    qint64 space = 0;
    if (!reader.sharedString(type) || type != "c" || !reader.integer(space))
        return std::nullopt;
    if (!reader.sharedString(type))
        return std::nullopt;
    if ((space == CalibratedRGB || space == DeviceRGB) && type == "ffff") {
        double red = 0, green = 0, blue = 0, alpha = 0;
        if (!reader.real(red) || !reader.real(green) || !reader.real(blue) || !reader.real(alpha))
            return std::nullopt;
        if (!inUnitRange(red) || !inUnitRange(green) || !inUnitRange(blue) || !inUnitRange(alpha) ||
            !reader.objectEnd())
            return std::nullopt;
        return Color::rgb(red, green, blue, alpha);
    }
    if ((space == CalibratedWhite || space == DeviceWhite) && type == "ff") {
        double white = 0, alpha = 0;
        if (!reader.real(white) || !reader.real(alpha) || !inUnitRange(white) || !inUnitRange(alpha) ||
            !reader.objectEnd())
            return std::nullopt;
        return Color::gray(white, alpha);
    }
    return std::nullopt;
}

QByteArray OVLegacyColorArchive::archivedData(const Color& color)
{
    QByteArray out;
    out.append(char(4));
    appendInteger(out, 11);
    out.append("streamtyped");
    appendInteger(out, 1000);
    appendNewString(out, "@");
    out.append(char(kNew));
    out.append(char(kNew));
    appendNewString(out, "NSColor");
    appendInteger(out, 0);
    out.append(char(kNew));
    appendNewString(out, "NSObject");
    appendInteger(out, 0);
    out.append(char(kNil));
    appendNewString(out, "c");
    if (color.isGray()) {
        appendInteger(out, CalibratedWhite);
        appendNewString(out, "ff");
        appendReal(out, color.white());
        appendReal(out, color.alpha);
    } else {
        appendInteger(out, CalibratedRGB);
        appendNewString(out, "ffff");
        appendReal(out, color.red);
        appendReal(out, color.green);
        appendReal(out, color.blue);
        appendReal(out, color.alpha);
    }
    out.append(char(kEnd));
    return out;
}
