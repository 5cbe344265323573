// The line at the top kept beside the scroll position: written with the position it was taken with,
// read back only while the file still agrees with it, and never trusted when damaged.
#include "PackageTestSupport.h"

#include "document/OVLoadedDocumentInfo.h"
#include "document/OVScrollbarAnchor.h"
#include "importer/OVDocumentLoader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace packagetest;

namespace {

class ScrollbarAnchorTest : public ::testing::Test {
protected:
    QString packagePath() const { return m_dir.filePath(QStringLiteral("Script.ovdocument")); }

    OVLoadedDocumentInfo read()
    {
        OVLoadedDocumentInfo info;
        Error error;
        EXPECT_TRUE(OVDocumentPackageReader::readPackage(QUrl::fromLocalFile(packagePath()), plainOptions(),
                                                         &info, &error))
            << error.localizedDescription().toStdString();
        return info;
    }

    static PlistDictionary anchor(PlistValue index, PlistValue offset, PlistValue share)
    {
        PlistDictionary dictionary;
        for (auto& [key, value] : {std::pair{OVScrollbarAnchorCharacterIndexKey, index},
                                   std::pair{OVScrollbarAnchorLineOffsetKey, offset},
                                   std::pair{OVDocumentPrompterScrollbarPositionKey, share}})
            if (!value.isNull())
                dictionary.insert(key, value);
        return dictionary;
    }

    QTemporaryDir m_dir;
    const QString m_text = QStringLiteral("First line\nSecond line\nThird line\n");
};

TEST_F(ScrollbarAnchorTest, WrittenBesideThePositionAndReadBackOnlyWhileTheFileAgrees)
{
    MutableAttributedString text(m_text);
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    input.scrollbarPosition = 0.375;
    input.speed = 2;
    // The share the document gives the writer is the one kept with the anchor, whatever it held.
    input.scrollbarAnchor = OVScrollbarAnchor{11, 3.5, 0};
    Error error;
    ASSERT_TRUE(OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(packagePath()), {}, input, &error));

    PlistDictionary properties = readProperties(packagePath());
    EXPECT_EQ(properties.value(OVDocumentPrompterScrollbarPositionKey).toDouble(), 0.375);
    auto anchor = read().scrollbarAnchor();
    ASSERT_TRUE(anchor);
    EXPECT_EQ(anchor->characterIndex, 11);
    EXPECT_EQ(anchor->lineOffset, 3.5);
    EXPECT_EQ(anchor->scrollbarPosition, 0.375);

    // The companions read such a package as before.
    EXPECT_NE(OVDocumentLoader::loadDocumentAtPath(packagePath()), nullptr);

    // A program that knows only the position moved it: the anchor names another place now.
    properties.insert(OVDocumentPrompterScrollbarPositionKey, 0.5);
    ASSERT_TRUE(writeRawPackage(packagePath(), AttributedString(m_text), xml(properties)));
    OVLoadedDocumentInfo moved = read();
    EXPECT_FALSE(moved.scrollbarAnchor());
    EXPECT_EQ(moved.scrollbarPosition(), 0.5);
    // ...or dropped it: no position, no anchor.
    properties.remove(OVDocumentPrompterScrollbarPositionKey);
    ASSERT_TRUE(writeRawPackage(packagePath(), AttributedString(m_text), xml(properties)));
    EXPECT_FALSE(read().scrollbarAnchor());
    // ...or shortened the text under it.
    properties.insert(OVDocumentPrompterScrollbarPositionKey, 0.375);
    ASSERT_TRUE(writeRawPackage(packagePath(), AttributedString(QStringLiteral("Short\n")), xml(properties)));
    EXPECT_FALSE(read().scrollbarAnchor());

    // Without a position the writer keeps no anchor either.
    MutableAttributedString again(m_text);
    input.text = &again;
    input.scrollbarPosition.reset();
    ASSERT_TRUE(OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(packagePath()), {}, input, &error));
    EXPECT_FALSE(readProperties(packagePath()).contains(OVScrollbarAnchorKey));
}

TEST_F(ScrollbarAnchorTest, DamagedAnchorsAreLeftOutAndEverythingElseIsRead)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const qint64 length = m_text.size();
    const std::vector<std::pair<const char*, PlistValue>> hostile = {
        {"a string", PlistValue("11")},
        {"an array", PlistValue(PlistArray{PlistValue(11), PlistValue(0.0)})},
        {"a number", PlistValue(11)},
        {"no index", anchor({}, 0.0, 0.5)},
        {"a negative index", anchor(qint64(-1), 0.0, 0.5)},
        {"an index at the end", anchor(length, 0.0, 0.5)},
        {"a huge index", anchor(std::numeric_limits<qint64>::max(), 0.0, 0.5)},
        {"an index past the signed range", anchor(PlistValue::unsignedInteger(~0ULL), 0.0, 0.5)},
        {"a fractional index", anchor(2.5, 0.0, 0.5)},
        {"an index as text", anchor("2", 0.0, 0.5)},
        {"an index as a truth value", anchor(true, 0.0, 0.5)},
        {"no offset", anchor(2, {}, 0.5)},
        {"a negative offset", anchor(2, -4.0, 0.5)},
        {"an offset that is not a number", anchor(2, nan, 0.5)},
        {"an infinite offset", anchor(2, inf, 0.5)},
        {"a huge offset", anchor(2, 1e300, 0.5)},
        {"an offset as a date", anchor(2, PlistDate{0}, 0.5)},
        {"no share", anchor(2, 0.0, {})},
        {"another share", anchor(2, 0.0, 0.25)},
        {"a share that is not a number", anchor(2, 0.0, nan)},
        {"a share as data", anchor(2, 0.0, QByteArray("0.5"))},
    };
    for (const auto& [what, value] : hostile) {
        SCOPED_TRACE(what);
        PlistDictionary properties = minimalProperties();
        properties.insert(OVDocumentPrompterScrollbarPositionKey, 0.5);
        properties.insert(OVDocumentPrompterSpeedKey, 2.0);
        properties.insert(OVScrollbarAnchorKey, value);
        ASSERT_TRUE(writeRawPackage(packagePath(), AttributedString(m_text), xml(properties)));
        const OVLoadedDocumentInfo info = read();
        EXPECT_FALSE(info.scrollbarAnchor());
        // The position opens the script instead, and the other settings are untouched.
        EXPECT_EQ(info.scrollbarPosition(), 0.5);
        EXPECT_EQ(info.speed(), 2.0);
        EXPECT_TRUE(info.leftOut.isEmpty());
        EXPECT_NE(OVDocumentLoader::loadDocumentAtPath(packagePath()), nullptr);
    }
    // A share from a file that is not a number matches nothing, not even itself.
    EXPECT_FALSE(OVScrollbarAnchor::fromPropertyList(anchor(2, 0.0, nan), nan, length));
    EXPECT_TRUE(OVScrollbarAnchor::fromPropertyList(anchor(2, 0.0, 0.5), 0.5, length));
}

} // namespace
