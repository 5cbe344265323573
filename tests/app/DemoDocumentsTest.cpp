// The demo documents the Help menu opens are shipped as our own generator writes them, and the
// tutorial looked up for each first-screen width is one of them.
#include "app/sample/DemoDocuments.h"
#include "app/OVTutorialDocuments.h"
#include "document/OVDocumentPackageReader.h"
#include "document/OVLoadedDocumentInfo.h"
#include "platform/foundation/Error.h"

#include <QDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

const QString kShipped = QStringLiteral(ORVANE_SOURCE_DIR "/") + demodocuments::kRelativeFolder;

QString shippedText(const QString& path)
{
    OVLoadedDocumentInfo loaded;
    Error error;
    if (!OVDocumentPackageReader::readPackage(QUrl::fromLocalFile(path), OVDocumentPackageReader::Options(),
                                              &loaded, &error) ||
        !loaded.content)
        return QStringLiteral("unreadable: ") + error.localizedDescription();
    return loaded.content->string();
}

TEST(DemoDocuments, TheShippedScriptsAreTheGeneratorsOutput)
{
    const QDir shipped(kShipped);
    EXPECT_EQ(shippedText(shipped.filePath(QStringLiteral("Tongue Twister.ovdocument"))),
              demodocuments::makeTongueTwisterText().string());
    for (int margin = 0; margin <= 2; ++margin) {
        const QString spaces(margin, u' ');
        const QString name = QStringLiteral("en/") + spaces + QStringLiteral("Tutorial") + spaces +
                             QStringLiteral(".ovdocument");
        EXPECT_EQ(shippedText(shipped.filePath(name)), demodocuments::makeTutorialText(margin).string())
            << margin;
    }
}

TEST(DemoDocuments, EveryWidthFindsAShippedTutorialInEveryLanguage)
{
    for (const char* localeName : {"en_GB", "de_DE"}) {
        const QLocale locale{QString::fromLatin1(localeName)};
        for (const double width : {1280.0, 1440.0, 1920.0}) {
            const QString name = OVTutorialDocuments::tutorialName(kShipped, width, locale);
            EXPECT_FALSE(
                OVTutorialDocuments::pathForDocument(kShipped, name + QStringLiteral(".ovdocument"), locale)
                    .isEmpty())
                << localeName << " " << width;
        }
    }
    EXPECT_EQ(OVTutorialDocuments::tutorialName(kShipped, 1440, QLocale(QStringLiteral("en_GB"))),
              QStringLiteral(" Tutorial "));
    EXPECT_EQ(OVTutorialDocuments::tutorialName(kShipped, 1920, QLocale(QStringLiteral("de_DE"))),
              QStringLiteral("Tutorial"));
}

} // namespace
