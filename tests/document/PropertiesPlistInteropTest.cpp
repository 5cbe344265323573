#include "PackageTestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>

using namespace packagetest;

TEST(PropertiesPlistInteropTest, PythonReadsTheKeysTypesAndValuesWeWrite)
{
#ifndef ORVANE_PYTHON3
    GTEST_SKIP() << "no Python interpreter was found at configure time";
#else
    MutableAttributedString text(QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz"));
    insertBookmark(text, 3, QStringLiteral("Same"));
    insertBookmark(text, 9, QStringLiteral("Other"));
    insertBookmark(text, 20, QStringLiteral("Same"));
    text.insert(attachmentString(image("png", "photo.png")), 25);
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    input.selectedRanges = QStringList{"{1, 2}", "{30, 0}"};
    input.scrollbarPosition = 0.625;
    input.speed = 4.0;
    input.windowFrame = QStringLiteral("{{12, 34}, {1280, 720}}");
    input.extendedMetadataInfo.insert("director", "Dee");
    input.extendedMetadataInfo.insert("producer", "Pat");
    input.extendedMetadataInfo.insert("performers", PlistArray{"Ann", "Bo"});
    QTemporaryDir dir;
    const QString path = dir.filePath("Interop.ovdocument");
    ASSERT_TRUE(OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), QUrl(), input, nullptr));

    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(ORVANE_PYTHON3,
                 {QStringLiteral(ORVANE_SOURCE_DIR "/tests/document/properties_plist_check.py"), path});
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAll().toStdString();
#endif
}
