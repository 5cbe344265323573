#include "PackageTestSupport.h"
#include "tests/support/LogCapture.h"

#include "document/OVLegacyColorArchive.h"

#include <gtest/gtest.h>

using namespace packagetest;

namespace {

const QString kType = QStringLiteral("com.orvane.prompter.prompterdocument");

QString fixture(const QString& name)
{
    return QStringLiteral(ORVANE_FIXTURES_DIR "/document/") + name;
}

class PrompterDocumentTest : public ::testing::Test {
protected:
    bool read(const QString& path)
    {
        m_info = OVLoadedDocumentInfo();
        m_error = Error();
        return OVDocumentPackageReader::readPrompterDocument(QUrl::fromLocalFile(path), kType, plainOptions(),
                                                             &m_info, &m_error);
    }

    bool readData(const QByteArray& data)
    {
        m_info = OVLoadedDocumentInfo();
        m_error = Error();
        return OVDocumentPackageReader::readPrompterDocumentData(
            data, QUrl::fromLocalFile("/x/Old.prompterdocument"), kType, false, &m_info, &m_error);
    }

    OVLoadedDocumentInfo m_info;
    Error m_error;
    LogCapture m_log;
};

QByteArray plist(const PlistDictionary& dictionary)
{
    return xml(dictionary);
}

} // namespace

TEST_F(PrompterDocumentTest, ReadsTextBookmarksAndPrompterState)
{
    ASSERT_TRUE(read(fixture("prompter-v4.prompterdocument")))
        << m_error.localizedDescription().toStdString();
    const AttributedString& text = *m_info.content;
    EXPECT_EQ(text.string(), kMark + "Intro text\nMore " + kMark + " and " + kMark + "end " + kMark + "\n");
    EXPECT_EQ(bookmarksOf(text),
              (std::vector<std::pair<qsizetype, QString>>{{0, "My Mark"}, {23, "Second one"}}));
    // A bookmark name with nothing between the identifier and ".tiff" stays a picture, as does a photo.
    const auto empty = text.attribute(kAttachmentAttributeName, 17).attachment();
    EXPECT_EQ(empty->fileWrapper()->preferredFilename(), "OVBookmark 77 .tiff");
    EXPECT_FALSE(NSTextAttachmentOVBookmarkAdditions::isBookmark(*empty));
    // The new bookmark takes the style of the text it stands in.
    EXPECT_TRUE(text.attribute(kFontAttributeName, 0).font());
    EXPECT_DOUBLE_EQ(text.attribute(kFontAttributeName, 0).font()->pointSize, 48);

    EXPECT_EQ(m_info.selectedRanges(), QStringList{"{3, 4}"});
    EXPECT_EQ(m_info.scrollbarPosition(), 0.25);
    EXPECT_EQ(m_info.speed(), 2.5);
    EXPECT_EQ(m_info.windowFrame(), QStringLiteral("{{100, 200}, {800, 600}}"));
    EXPECT_EQ(m_info.backgroundColor(), Color::rgb(0.25, 0.5, 0.75, 1));
    EXPECT_FALSE(m_info.appKitFileTypeAddsNewlineToEnd);
    EXPECT_TRUE(text.string().endsWith('\n'));
}

TEST_F(PrompterDocumentTest, GreyBackgroundAndAPartialWindow)
{
    ASSERT_TRUE(read(fixture("prompter-v4-grey-no-window.prompterdocument")));
    EXPECT_EQ(m_info.content->string(), "Plain script\n");
    EXPECT_EQ(m_info.backgroundColor(), Color::gray(0.5));
    EXPECT_EQ(m_info.windowFrame(), QStringLiteral("{{0, 0}, {640, 480}}"));
    EXPECT_TRUE(m_info.selectedRanges().isEmpty());
    EXPECT_FALSE(m_info.speed());
}

TEST_F(PrompterDocumentTest, FileWithoutTextIsRefused)
{
    EXPECT_FALSE(read(fixture("prompter-v4-no-contents.prompterdocument")));
    EXPECT_EQ(
        m_log.lines(),
        QStringList{
            QStringLiteral("Error: could not create document content from URL = %1 of type = %2")
                .arg(QUrl::fromLocalFile(fixture("prompter-v4-no-contents.prompterdocument")).toString(),
                     kType)});
    EXPECT_EQ(m_error.code(), kFileReadCorruptFileError);
    EXPECT_FALSE(m_info.content);
}

TEST_F(PrompterDocumentTest, HostileFilesAnswerWithAnError)
{
    EXPECT_FALSE(read(fixture("absent.prompterdocument")));
    EXPECT_EQ(m_log.lines(), QStringList{"Error creating data"});
    EXPECT_FALSE(m_error.isNull());

    QFile file(fixture("prompter-v4.prompterdocument"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray valid = file.readAll();
    for (qsizetype cut = 0; cut < valid.size(); cut += 7) {
        m_log.clear();
        EXPECT_FALSE(readData(valid.left(cut))) << cut;
        EXPECT_EQ(m_log.lines(), QStringList{"Error creating documentPlist"});
    }

    PlistDictionary wrongContents;
    wrongContents.insert(OVPrompterDocumentContentsKey, "text");
    m_log.clear();
    EXPECT_FALSE(readData(plist(wrongContents)));
    EXPECT_EQ(m_log.lines(), QStringList{"Error: `Prompter Contents` should be NSData but is NSString"});

    PlistDictionary badStream;
    badStream.insert(OVPrompterDocumentContentsKey, QByteArray("rtfd\x03\0\0\0\xff\xff\xff\x7f", 12));
    m_log.clear();
    EXPECT_FALSE(readData(plist(badStream)));
    EXPECT_EQ(m_log.lines(), QStringList{"Error creating documentContent"});

    const QByteArray contents = Rtfd::data(AttributedString("x"), {});
    const std::vector<std::pair<QString, PlistValue>> wrongTypes = {
        {OVPrompterDocumentSelectedRangeKey, PlistValue(3)},
        {OVPrompterDocumentSpeedKey, PlistValue("fast")},
        {OVPrompterDocumentWindowPositionKey, PlistValue(PlistArray{})},
        {OVPrompterDocumentWindowSizeKey, PlistValue(1.5)},
    };
    for (const auto& [key, value] : wrongTypes) {
        PlistDictionary dictionary;
        dictionary.insert(OVPrompterDocumentContentsKey, contents);
        dictionary.insert(key, value);
        EXPECT_FALSE(readData(plist(dictionary))) << key.toStdString();
        EXPECT_EQ(m_error.code(), kFileReadCorruptFileError);
    }

    // A colour that does not decode is simply not there.
    PlistDictionary badColour;
    badColour.insert(OVPrompterDocumentContentsKey, contents);
    badColour.insert(OVPrompterDocumentBackgroundColorKey, QByteArray("\x04\x0bstreamtyped\x81\xe8", 15));
    EXPECT_TRUE(readData(plist(badColour)));
    EXPECT_FALSE(m_info.backgroundColor());
}

TEST(LegacyColorArchiveTest, ReadsWhatItWritesAndRefusesDamage)
{
    for (const Color& colour :
         {Color::rgb(0.1, 0.2, 0.3, 0.4), Color::rgb(1, 0, 0), Color::gray(0.5), Color::gray(0, 0.5)}) {
        const auto read = OVLegacyColorArchive::unarchivedColor(OVLegacyColorArchive::archivedData(colour));
        ASSERT_TRUE(read);
        EXPECT_NEAR(read->red, colour.red, 1e-6);
        EXPECT_NEAR(read->blue, colour.blue, 1e-6);
        EXPECT_NEAR(read->alpha, colour.alpha, 1e-6);
        EXPECT_EQ(read->isGray(), colour.isGray());
    }
    const QByteArray valid = OVLegacyColorArchive::archivedData(Color::rgb(0.1, 0.2, 0.3));
    for (qsizetype cut = 0; cut < valid.size(); ++cut)
        EXPECT_FALSE(OVLegacyColorArchive::unarchivedColor(valid.left(cut))) << cut;
    QByteArray otherClass = valid;
    otherClass.replace("NSColor", "NSFonts");
    EXPECT_FALSE(OVLegacyColorArchive::unarchivedColor(otherClass));
    QByteArray outOfRange = OVLegacyColorArchive::archivedData(Color::rgb(0, 0, 0));
    outOfRange.replace(outOfRange.size() - 5, 1, "\x7f");
    EXPECT_FALSE(OVLegacyColorArchive::unarchivedColor(outOfRange));
    EXPECT_FALSE(
        OVLegacyColorArchive::unarchivedColor(QByteArray(OVLegacyColorArchive::kMaxBytes + 1, '\x84')));
}
