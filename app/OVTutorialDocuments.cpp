#include "app/OVTutorialDocuments.h"

#include "platform/foundation/Range.h"
#include "platform/text/AttributeNames.h"

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <array>

namespace {

// Saturation and brightness shared by the three colours; only the hue differs.
Color colorWithHue(double hue)
{
    const QColor rgb = QColor::fromHsvF(float(hue), 0.88f, 1.0f, 1.0f).toRgb();
    return Color::rgb(rgb.redF(), rgb.greenF(), rgb.blueF(), 1.0);
}

bool isPrime(int number)
{
    if (number < 2)
        return false;
    for (int divisor = 2; divisor * divisor <= number; ++divisor) {
        if (number % divisor == 0)
            return false;
    }
    return true;
}

bool isPowerOfTwo(int number)
{
    return number > 0 && (number & (number - 1)) == 0;
}

void colorMatches(MutableAttributedString& text, const QString& word, const Color& color)
{
    const QString& string = text.string();
    const QRegularExpression pattern(QRegularExpression::escape(word),
                                     QRegularExpression::CaseInsensitiveOption);
    for (auto match = pattern.globalMatch(string); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        text.addAttribute(kForegroundColorAttributeName, color,
                          Range{found.capturedStart(), found.capturedLength()});
    }
}

} // namespace

QString OVTutorialDocuments::demoDocumentsFolder()
{
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/orvane/Demo Documents"));
    if (QFileInfo(installed).isDir())
        return installed;
    return QStringLiteral(ORVANE_RESOURCES_DIR "/Demo Documents");
}

QString OVTutorialDocuments::marginString(double firstScreenVisibleWidth)
{
    if (firstScreenVisibleWidth >= 1910)
        return QStringLiteral("  ");
    if (firstScreenVisibleWidth >= 1430)
        return QStringLiteral(" ");
    return {};
}

QString OVTutorialDocuments::tutorialName(const QString& folder, double firstScreenVisibleWidth,
                                          const QLocale& locale)
{
    const QString margin = marginString(firstScreenVisibleWidth);
    const QString padded = margin + kTutorialName + margin;
    const QString fileName = padded + u'.' + kExtension;
    const QString language = QLocale::languageToCode(locale.language());
    for (const QString& localisation : {locale.name(), language}) {
        if (!localisation.isEmpty() &&
            QFileInfo::exists(QDir(folder).filePath(localisation + u'/' + fileName)))
            return padded;
    }
    return kTutorialName;
}

QString OVTutorialDocuments::pathForDocument(const QString& folder, const QString& fileName,
                                             const QLocale& locale)
{
    // A name is never a path: nothing outside the folder can be reached through it.
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName == QLatin1String("..") ||
        fileName == QLatin1String("."))
        return {};
    const QDir demo(folder);
    const QString language = QLocale::languageToCode(locale.language());
    // The folder's own copy, then the language the program is written in, as a localised bundle
    // falls back to its development language.
    for (const QString& localisation : {locale.name(), language, QString(), kDevelopmentLanguage}) {
        const QString path =
            localisation.isEmpty() ? demo.filePath(fileName) : demo.filePath(localisation + u'/' + fileName);
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

Color OVTutorialDocuments::colorA()
{
    return colorWithHue(185.0 / 359.0);
}

Color OVTutorialDocuments::colorB()
{
    return colorWithHue(85.0 / 359.0);
}

Color OVTutorialDocuments::colorC()
{
    return colorWithHue(135.0 / 359.0);
}

MutableAttributedString OVTutorialDocuments::linesText(const AttributeDictionary& attributes)
{
    MutableAttributedString text;
    for (int number = 1; number <= 100; ++number) {
        const qsizetype start = text.length();
        const QString digits = QString::number(number);
        text.append(digits + u'\n', attributes);
        const Range range{start, digits.size()};
        if (number == 2)
            text.addAttribute(kForegroundColorAttributeName, colorC(), range);
        else if (isPowerOfTwo(number))
            text.addAttribute(kForegroundColorAttributeName, colorA(), range);
        else if (isPrime(number))
            text.addAttribute(kForegroundColorAttributeName, colorB(), range);
    }
    // Trailing white space of the whole text goes: the last line ends the script.
    qsizetype end = text.length();
    while (end > 0 && text.string().at(end - 1).isSpace())
        --end;
    text.replaceCharacters(Range{end, text.length() - end}, QString());
    return text;
}

MutableAttributedString OVTutorialDocuments::loremIpsumText(const AttributeDictionary& attributes)
{
    MutableAttributedString text;
    text.append(placeholderParagraphs(64), attributes);
    colorMatches(text, QStringLiteral("lorem"), colorA());
    colorMatches(text, QStringLiteral("ipsum"), colorB());
    return text;
}

QString OVTutorialDocuments::placeholderParagraphs(int quantity)
{
    // Our own word list; a small linear congruential generator picks from it, so every request
    // gives the same text.
    static constexpr std::array kWords = {"lorem", "ipsum",  "varo",  "telum",  "fenda",  "morit",  "calva",
                                          "uster", "pendo",  "silar", "nomin",  "quova",  "rastel", "belim",
                                          "oprat", "lunis",  "tarvo", "mediam", "sulcre", "vanta",  "porin",
                                          "elmet", "dravis", "cunto", "aprel",  "hosta",  "virun",  "sental",
                                          "gamor", "tepla",  "irum",  "falco"};
    quint32 state = 20240611u;
    const auto next = [&state](quint32 bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    QStringList paragraphs;
    for (int paragraph = 0; paragraph < std::max(quantity, 0); ++paragraph) {
        QStringList sentences;
        const quint32 sentenceCount = 3 + next(4);
        for (quint32 sentence = 0; sentence < sentenceCount; ++sentence) {
            QStringList words;
            const quint32 wordCount = 6 + next(9);
            for (quint32 word = 0; word < wordCount; ++word)
                words << QString::fromLatin1(kWords[next(quint32(kWords.size()))]);
            QString joined = words.join(u' ');
            joined[0] = joined[0].toUpper();
            sentences << joined + u'.';
        }
        paragraphs << sentences.join(u' ');
    }
    return paragraphs.join(u'\n');
}
