#include "app/sample/DemoDocuments.h"

#include "app/sample/SampleScript.h"
#include "document/OVDocument.h"
#include "document/OVDocumentPackageWriter.h"
#include "platform/foundation/Error.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/ParagraphStyle.h"

#include <QDir>
#include <QStringList>
#include <QUrl>

namespace demodocuments {

namespace {

// Wider screens show the tutorial with wider side margins, so lines stay a comfortable length.
constexpr double kIndentPerMargin = 80;

bool writeScript(const QString& path, MutableAttributedString text, Error* error)
{
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    input.backgroundColor = Color::gray(0);
    input.selectedRanges = QStringList{QStringLiteral("{0, 0}")};
    input.scrollbarPosition = 0;
    input.speed = 2;
    input.metadataInfo = OVDocument::nullMetadataInfoDictionary();
    // The same bytes on every machine that generates them.
    input.recordsSystemVersion = false;
    return OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), {}, input, error);
}

} // namespace

MutableAttributedString makeTutorialText(int margin)
{
    const QStringList lines{
        QStringLiteral("Welcome to the Orvane tutorial."),
        QStringLiteral("This window is a script. Type into it, paste into it, or open a script you have."),
        QStringLiteral("Ctrl+Return switches to Prompt mode and back."),
        QStringLiteral("In Prompt mode the space bar starts and pauses the text."),
        QStringLiteral("Left and Right change the speed; the number keys one to nine set it."),
        QStringLiteral("Up and Down scroll while held; Page Up and Page Down jump, as clickers do."),
        QStringLiteral("Esc returns to Edit mode, where the text is yours to change again."),
        QStringLiteral(
            "With a second screen attached, the talent reads the script there, mirrored if you wish."),
        QStringLiteral("This copy is yours: save it anywhere, or close it and start a script of your own."),
    };
    AttributeDictionary attributes = samplescript::bodyAttributes();
    ParagraphStyle style;
    style.headIndent = margin * kIndentPerMargin;
    style.firstLineHeadIndent = margin * kIndentPerMargin;
    style.tailIndent = -margin * kIndentPerMargin;
    attributes.insert(kParagraphStyleAttributeName, AttributeValue(style));
    MutableAttributedString text;
    for (const QString& line : lines)
        text.append(line + u'\n', attributes);
    return text;
}

MutableAttributedString makeTongueTwisterText()
{
    const QStringList lines{
        QStringLiteral("Six slim swans swam south in a slow, silent swirl."),
        QStringLiteral("Fresh fried fish, fish fresh fried, fried fish fresh."),
        QStringLiteral("A proper copper coffee pot poured plenty of proper coffee."),
        QStringLiteral("Red lorry, yellow lorry, red lorry, yellow lorry."),
        QStringLiteral("Twelve twins twirled twelve twigs at twilight."),
    };
    MutableAttributedString text;
    for (const QString& line : lines)
        text.append(line + u'\n', samplescript::bodyAttributes());
    return text;
}

bool writeDemoDocuments(const QString& folder, Error* error)
{
    const QDir demo(folder);
    if (!demo.mkpath(kTutorialLanguage)) {
        setError(error, Error::cocoa(kFileWriteUnknownError, QUrl::fromLocalFile(folder)));
        return false;
    }
    for (int margin = 0; margin <= 2; ++margin) {
        const QString spaces(margin, u' ');
        const QString name = spaces + QStringLiteral("Tutorial") + spaces + QStringLiteral(".ovdocument");
        if (!writeScript(demo.filePath(kTutorialLanguage + u'/' + name), makeTutorialText(margin), error))
            return false;
    }
    return writeScript(demo.filePath(QStringLiteral("Tongue Twister.ovdocument")), makeTongueTwisterText(),
                       error);
}

} // namespace demodocuments
