// The LibreOffice converter as a child process: what it gives back, and what happens when it hangs,
// crashes, is cancelled or is missing.
#include "platform/textformats/LibreOffice.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfWriter.h"
#include "platform/textformats/Docx.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A stand-in converter: a shell script with the given body.
class FakeConverter {
public:
    explicit FakeConverter(const QByteArray& body)
    {
        m_path = m_dir.filePath(QStringLiteral("soffice"));
        QFile file(m_path);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        LibreOffice::setExecutableOverride(m_path);
        // Conversion folders go here, so the test can see that none is left behind.
        m_hadTemp = qEnvironmentVariableIsSet("TMPDIR");
        m_oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_temp.path().toUtf8());
    }
    ~FakeConverter()
    {
        LibreOffice::setExecutableOverride(std::nullopt);
        if (m_hadTemp)
            qputenv("TMPDIR", m_oldTemp);
        else
            qunsetenv("TMPDIR");
    }
    QStringList leftovers() const
    {
        return QDir(m_temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_temp;
    QString m_path;
    QByteArray m_oldTemp;
    bool m_hadTemp = false;
};

} // namespace

TEST(LibreOfficeConverter, AHungCancelledCrashedOrLyingConverterEndsWithAnErrorAndNoFolderLeft)
{
    Error error;
    {
        FakeConverter hung("sleep 30");
        QElapsedTimer timer;
        timer.start();
        int waits = 0;
        LibreOffice::Progress progress;
        progress.wait = [&] { ++waits; };
        progress.cancelled = [&] { return waits >= 3; };
        EXPECT_FALSE(LibreOffice::convert("x", QStringLiteral("doc"), QStringLiteral("docx"),
                                          QStringLiteral("docx"), progress, &error));
        EXPECT_EQ(error.code(), kUserCancelledError);
        EXPECT_LT(timer.elapsed(), 5000);
        EXPECT_TRUE(hung.leftovers().isEmpty()) << hung.leftovers().join(u' ').toStdString();

        progress.cancelled = {};
        progress.timeoutMilliseconds = 300;
        timer.restart();
        EXPECT_FALSE(LibreOffice::convert("x", QStringLiteral("doc"), QStringLiteral("docx"),
                                          QStringLiteral("docx"), progress, &error));
        EXPECT_TRUE(error.localizedFailureReason().contains(QStringLiteral("did not finish")));
        EXPECT_LT(timer.elapsed(), 5000);
        EXPECT_TRUE(hung.leftovers().isEmpty());
    }
    {
        FakeConverter crashing("kill -SEGV $$");
        EXPECT_FALSE(LibreOffice::convert("x", QStringLiteral("doc"), QStringLiteral("docx"),
                                          QStringLiteral("docx"), {}, &error));
        EXPECT_TRUE(crashing.leftovers().isEmpty());
    }
    {
        // Output that is a link to a file elsewhere is not taken.
        FakeConverter linking(
            "for a; do out=$a; done; d=$(dirname \"$out\")/out; ln -s /etc/passwd \"$d/script.docx\"");
        EXPECT_FALSE(LibreOffice::convert("x", QStringLiteral("doc"), QStringLiteral("docx"),
                                          QStringLiteral("docx"), {}, &error));
    }
    {
        // What it leaves in its temporary folder goes with the conversion's own folder.
        FakeConverter working("for a; do out=$a; done; d=$(dirname \"$out\")/out; cp \"$out\" "
                              "\"$d/script.docx\"; touch \"$TMPDIR/lu-left-behind.tmp\"");
        const auto bytes = LibreOffice::convert("hello", QStringLiteral("doc"), QStringLiteral("docx"),
                                                QStringLiteral("docx"), {}, &error);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(*bytes, QByteArray("hello"));
        EXPECT_TRUE(working.leftovers().isEmpty());
    }
    LibreOffice::setExecutableOverride(QString());
    EXPECT_FALSE(LibreOffice::isAvailable());
    EXPECT_FALSE(LibreOffice::convert("x", QStringLiteral("doc"), QStringLiteral("docx"),
                                      QStringLiteral("docx"), {}, &error));
    EXPECT_TRUE(error.localizedFailureReason().contains(QLatin1String(LibreOffice::kPackage)));
    LibreOffice::setExecutableOverride(std::nullopt);
}

// Word 97 both ways through the real LibreOffice; skipped where it is not installed.
TEST(LibreOfficeConverter, OurRtfAndOurWordDocumentComeBackFromWord97)
{
    if (!LibreOffice::isAvailable())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    MutableAttributedString script;
    script.append(QStringLiteral(u"Good evening \u2014 caf\u00E9.\nSecond line\n"),
                  {{kFontAttributeName,
                    Font{QStringLiteral("DejaVu Serif"), QStringLiteral("DejaVu Serif"), 20, true}}});
    Error error;
    const auto doc =
        LibreOffice::convert(RtfWriter::write(script, {}), QStringLiteral("rtf"),
                             QStringLiteral("doc:MS Word 97"), QStringLiteral("doc"), {}, &error);
    ASSERT_TRUE(doc) << qPrintable(error.localizedFailureReason());
    EXPECT_TRUE(doc->startsWith("\xD0\xCF\x11\xE0")) << "a compound file";
    const auto docx = LibreOffice::convert(*doc, QStringLiteral("doc"), QStringLiteral("docx"),
                                           QStringLiteral("docx"), {}, &error);
    ASSERT_TRUE(docx);
    MutableAttributedString text;
    ASSERT_TRUE(Docx::read(*docx, text, nullptr, &error));
    // LibreOffice reads the RTF's empty last paragraph as none; the newline our reader adds stands for it.
    EXPECT_EQ(text.string().toStdString(), script.string().toStdString());
    const AttributeValue value = text.attribute(kFontAttributeName, 0);
    const Font* font = value.font();
    ASSERT_TRUE(font);
    EXPECT_EQ(font->familyName, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(font->pointSize, 20);
    EXPECT_TRUE(font->bold);
}
