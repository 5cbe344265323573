#include "platform/foundation/Clock.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "tests/platform/foundation/PlistTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>

namespace {

using Format = PropertyListSerialization::Format;

// Reads our files, writes its own, and prints each as "<file> <dump>" in a form both sides can make
// exactly: text as UTF-8 hex, reals as IEEE bits, dates as whole seconds from 2001.
constexpr char kPythonScript[] = R"PY(
import datetime, plistlib, struct, sys, os

def dump(v):
    if isinstance(v, bool):
        return "b:1" if v else "b:0"
    if isinstance(v, int):
        return "i:%d" % v
    if isinstance(v, float):
        return "r:" + struct.pack(">d", v).hex()
    if isinstance(v, str):
        return "s:" + v.encode("utf-8").hex()
    if isinstance(v, bytes):
        return "x:" + v.hex()
    if isinstance(v, plistlib.UID):
        return "u:%d" % v.data
    if isinstance(v, datetime.datetime):
        delta = v.replace(tzinfo=None) - datetime.datetime(2001, 1, 1)
        return "d:%d" % int(delta.total_seconds())
    if isinstance(v, list):
        return "[" + ",".join(dump(e) for e in v) + "]"
    if isinstance(v, dict):
        return "{" + ",".join(dump(k) + "=" + dump(e) for k, e in v.items()) + "}"
    raise TypeError(type(v))

folder = sys.argv[1]
for name in ("ours.xml", "ours.bin"):
    with open(os.path.join(folder, name), "rb") as f:
        print(name, dump(plistlib.load(f)))

sample = {
    "text": "h\u00e9llo \U0001F600 & <tags>",
    "long text": "x" * 300,
    "integers": [0, 255, 256, 65535, 65536, 2**32, -1, -2**63, 2**63 - 1, 2**64 - 1],
    "reals": [0.1, -2.5, 1e300, float("inf"), 3.0],
    "flags": [True, False],
    "date": datetime.datetime(2024, 2, 29, 12, 34, 56),
    "old date": datetime.datetime(1969, 7, 20, 20, 17, 40),
    "data": bytes(range(256)),
    "nested": {"empty list": [], "empty dict": {}, "empty text": "", "deep": [[[{"k": "v"}]]]},
}
with open(os.path.join(folder, "theirs.xml"), "wb") as f:
    plistlib.dump(sample, f, fmt=plistlib.FMT_XML)
# plistlib sorts keys as it writes, so what the file holds is what it reads back.
with open(os.path.join(folder, "theirs.xml"), "rb") as f:
    print("theirs.xml", dump(plistlib.load(f)))
sample["uids"] = [plistlib.UID(0), plistlib.UID(255), plistlib.UID(70000), plistlib.UID(2**40)]
with open(os.path.join(folder, "theirs.bin"), "wb") as f:
    plistlib.dump(sample, f, fmt=plistlib.FMT_BINARY)
with open(os.path.join(folder, "theirs.bin"), "rb") as f:
    print("theirs.bin", dump(plistlib.load(f)))
)PY";

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

// The same dump made from our values. plistlib reads the XML form of a UID as the one-entry
// dictionary it is written as, so that is how uidsAsDictionaries shows it.
QString dump(const PlistValue& value, bool uidsAsDictionaries)
{
    switch (value.type()) {
    case PlistValue::Type::Boolean:
        return value.boolean() ? "b:1" : "b:0";
    case PlistValue::Type::Integer:
        return value.isUnsignedInteger() ? QString("i:%1").arg(value.unsignedValue())
                                         : QString("i:%1").arg(value.integer());
    case PlistValue::Type::Real:
        return "r:" + QString("%1").arg(std::bit_cast<quint64>(value.real()), 16, 16, QChar('0'));
    case PlistValue::Type::String:
        return "s:" + hex(value.string().toUtf8());
    case PlistValue::Type::Data:
        return "x:" + hex(value.data());
    case PlistValue::Type::Uid:
        if (uidsAsDictionaries)
            return "{s:" + hex("CF$UID") + QString("=i:%1}").arg(value.uid().value);
        return QString("u:%1").arg(value.uid().value);
    case PlistValue::Type::Date:
        return QString("d:%1").arg(qint64(std::floor(value.date().secondsSinceReferenceDate)));
    case PlistValue::Type::Array: {
        QStringList parts;
        for (const PlistValue& element : value.array())
            parts.append(dump(element, uidsAsDictionaries));
        return "[" + parts.join(',') + "]";
    }
    case PlistValue::Type::Dictionary: {
        QStringList parts;
        for (const auto& [key, element] : value.dictionary())
            parts.append(dump(PlistValue(key), uidsAsDictionaries) + "=" + dump(element, uidsAsDictionaries));
        return "{" + parts.join(',') + "}";
    }
    case PlistValue::Type::Null:
        break;
    }
    return "null";
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

std::optional<PlistValue> readFile(const QString& path, Format expected)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Format format = expected == Format::Xml ? Format::Binary : Format::Xml;
    Error error;
    std::optional<PlistValue> value =
        PropertyListSerialization::propertyListWithData(file.readAll(), &format, &error);
    EXPECT_TRUE(value) << path.toStdString() << ": " << error.localizedFailureReason().toStdString();
    EXPECT_EQ(format, expected);
    return value;
}

} // namespace

TEST(PlistInteropTest, PythonPlistlibReadsWhatWeWriteAndWeReadWhatItWrites)
{
#ifndef ORVANE_PYTHON3
    GTEST_SKIP() << "python3 was not found when configuring";
#else
    if (!QFile::exists(ORVANE_PYTHON3))
        GTEST_SKIP() << "python3 is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Whole-second dates: plistlib keeps microseconds only, so fractions would not compare exactly.
    PlistValue sample = samplePropertyList();
    sample.dictionary().insert("infinity", std::numeric_limits<double>::infinity());
    sample.dictionary().insert("unicode key \u00e9", "value");
    ASSERT_TRUE(writeFile(dir.filePath("ours.xml"),
                          *PropertyListSerialization::dataWithPropertyList(sample, Format::Xml)));
    ASSERT_TRUE(writeFile(dir.filePath("ours.bin"),
                          *PropertyListSerialization::dataWithPropertyList(sample, Format::Binary)));

    QProcess python;
    python.start(ORVANE_PYTHON3, {"-c", kPythonScript, dir.path()});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    QMap<QString, QString> dumps;
    for (const QByteArray& line : python.readAllStandardOutput().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            dumps.insert(QString::fromUtf8(line.left(space)), QString::fromUtf8(line.mid(space + 1)));
    }
    ASSERT_EQ(dumps.size(), 4);

    EXPECT_EQ(dumps["ours.xml"].toStdString(), dump(sample, true).toStdString());
    EXPECT_EQ(dumps["ours.bin"].toStdString(), dump(sample, false).toStdString());

    const std::optional<PlistValue> theirXml = readFile(dir.filePath("theirs.xml"), Format::Xml);
    const std::optional<PlistValue> theirBinary = readFile(dir.filePath("theirs.bin"), Format::Binary);
    ASSERT_TRUE(theirXml && theirBinary);
    EXPECT_EQ(dump(*theirXml, false).toStdString(), dumps["theirs.xml"].toStdString());
    EXPECT_EQ(dump(*theirBinary, false).toStdString(), dumps["theirs.bin"].toStdString());
    EXPECT_EQ(theirXml->dictionary().value("text").string(),
              QString::fromUtf8("h\u00e9llo \U0001F600 & <tags>"));
    EXPECT_EQ(theirBinary->dictionary().value("uids").array()[3].uid().value, 1ULL << 40);
#endif
}
