#pragma once

#include "platform/text/Color.h"
#include "platform/text/MutableAttributedString.h"

#include <QLocale>
#include <QString>

// The tutorial and sample scripts of the Help menu: where the tutorial for a screen width and
// language is found, and the two scripts generated on request.
class OVTutorialDocuments {
public:
    static inline const QString kExtension = QStringLiteral("ovdocument");
    static inline const QString kTutorialName = QStringLiteral("Tutorial");
    static inline const QString kTongueTwisterName = QStringLiteral("Tongue Twister");
    static inline const QString kLinesName = QStringLiteral("Lines");
    static inline const QString kLoremIpsumName = QStringLiteral("Lorem Ipsum");
    static inline const QString kDevelopmentLanguage = QStringLiteral("en");

    // The installed "Demo Documents" folder, else the one in the source tree of a development build.
    static QString demoDocumentsFolder();

    // Wider first screens get a tutorial laid out with wider margins; its name says so with spaces.
    static QString marginString(double firstScreenVisibleWidth);
    // The tutorial's name for the width, when a copy of that name exists for locale's identifier or
    // its language; plain "Tutorial" otherwise.
    static QString tutorialName(const QString& folder, double firstScreenVisibleWidth, const QLocale& locale);
    // The file of a document of the folder: localised for locale first, then the folder's own, then
    // the development language's. Empty when there is none.
    static QString pathForDocument(const QString& folder, const QString& fileName, const QLocale& locale);

    // The three colours the generated scripts mark words and numbers with.
    static Color colorA();
    static Color colorB();
    static Color colorC();

    // The numbers 1 to 100, one a line: 2 in colour C, the other powers of two in A, the other
    // primes in B.
    static MutableAttributedString linesText(const AttributeDictionary& attributes);
    // Placeholder paragraphs with each "lorem" in colour A and each "ipsum" in B, any case.
    static MutableAttributedString loremIpsumText(const AttributeDictionary& attributes);
    // Placeholder text: quantity paragraphs of pseudo-Latin, the same every time.
    static QString placeholderParagraphs(int quantity);
};
