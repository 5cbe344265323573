#pragma once

#include "platform/foundation/PlistValue.h"

// A property list holding one of every kind of value, with the edge cases each form must carry.
inline PlistValue samplePropertyList()
{
    PlistDictionary nested;
    nested.insert("empty dictionary", PlistDictionary());
    nested.insert("empty array", PlistArray());
    nested.insert("empty string", QString(""));
    nested.insert("empty data", QByteArray(""));

    PlistArray numbers{PlistValue(0),
                       PlistValue(255),
                       PlistValue(256),
                       PlistValue(65535),
                       PlistValue(65536),
                       PlistValue(qint64(4294967295LL)),
                       PlistValue(qint64(4294967296LL)),
                       PlistValue(-1),
                       PlistValue(std::numeric_limits<qint64>::min()),
                       PlistValue(std::numeric_limits<qint64>::max()),
                       PlistValue::unsignedInteger(std::numeric_limits<quint64>::max()),
                       PlistValue(0.1),
                       PlistValue(-2.5),
                       PlistValue(1e300),
                       PlistValue(3.0)};

    PlistDictionary root;
    root.insert("string", "Hello & <world>");
    root.insert("unicode", QString::fromUtf8("Gr\u00fc\u00dfe \u65e5\u672c \U0001F600"));
    root.insert("numbers", numbers);
    root.insert("yes", true);
    root.insert("no", false);
    root.insert("date", PlistDate{-86400.0 * 365});
    root.insert("data", QByteArray("\x00\x01\x02\xff binary", 11));
    root.insert("uids", PlistArray{PlistUid{0}, PlistUid{255}, PlistUid{70000}, PlistUid{5000000000ULL}});
    root.insert("nested", nested);
    root.insert("list", PlistArray{PlistValue("a"), PlistValue("a"), PlistValue(PlistArray{PlistValue(1)})});
    return root;
}
