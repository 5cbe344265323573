#pragma once

// A long teleprompter script shaped like the ones operators read: numbered scenes with centred
// headings, a bold speaker cue in its own colour before each paragraph and an italic word for
// emphasis in every paragraph, about 70 characters per attribute run. Its RTF, as the platform's
// writer makes it, is about 1.3 bytes per character.

#include "platform/text/MutableAttributedString.h"

#include <QStringList>

#include <map>

namespace ScriptSample {

// Characters of script for each byte of its RTF, so that sizes can be asked for in RTF bytes.
constexpr double kCharactersPerRtfByte = 0.78;

inline MutableAttributedString make(qsizetype characters)
{
    Font regular;
    regular.fontName = QStringLiteral("Helvetica");
    regular.familyName = QStringLiteral("Helvetica");
    regular.pointSize = 48;
    Font bold = regular;
    bold.fontName = QStringLiteral("Helvetica-Bold");
    bold.bold = true;
    Font italic = regular;
    italic.fontName = QStringLiteral("Helvetica-Oblique");
    italic.italic = true;
    ParagraphStyle body;
    ParagraphStyle heading;
    heading.alignment = TextAlignment::Center;
    heading.paragraphSpacing = 12;

    const Color white = Color::rgb(1, 1, 1);
    const QList<Color> speakers = {Color::fromRgb8(255, 204, 0), Color::fromRgb8(120, 200, 255),
                                   Color::fromRgb8(255, 120, 160)};
    const QStringList sentences = {
        QStringLiteral(u"Good evening, and welcome to the news at ten. "),
        QStringLiteral(
            u"Tonight\u2019s top story: the caf\u00E9 on the corner reopened after a long winter. "),
        QStringLiteral(
            u"\u201CWe never gave up\u201D, said the owner, pouring the first coffee of the day. "),
        QStringLiteral(u"Traffic on the ring road is slow in both directions \u2014 allow extra time. "),
    };

    MutableAttributedString script;
    int paragraph = 0;
    while (script.length() < characters) {
        if (paragraph % 40 == 0) {
            script.append(QStringLiteral("SCENE %1\n").arg(paragraph / 40 + 1),
                          {{kFontAttributeName, bold},
                           {kForegroundColorAttributeName, white},
                           {kParagraphStyleAttributeName, heading}});
        }
        const AttributeDictionary plain{{kFontAttributeName, regular},
                                        {kForegroundColorAttributeName, white},
                                        {kParagraphStyleAttributeName, body}};
        script.append(QStringLiteral("ANCHOR %1: ").arg(paragraph % 3 + 1),
                      {{kFontAttributeName, bold},
                       {kForegroundColorAttributeName, speakers[paragraph % speakers.size()]},
                       {kParagraphStyleAttributeName, body}});
        script.append(sentences[paragraph % 4] + sentences[(paragraph + 1) % 4] +
                          sentences[(paragraph + 3) % 4],
                      plain);
        script.append(QStringLiteral("really"), {{kFontAttributeName, italic},
                                                 {kForegroundColorAttributeName, white},
                                                 {kParagraphStyleAttributeName, body}});
        script.append(QStringLiteral(" ") + sentences[(paragraph + 2) % 4] + QStringLiteral("\n"), plain);
        ++paragraph;
    }
    return script;
}

// One script per size of RTF in megabytes, made once for the whole run: building the model is the
// reader's cost, measured elsewhere.
inline const MutableAttributedString& ofMegabytes(int megabytes)
{
    static std::map<int, MutableAttributedString> scripts;
    auto found = scripts.find(megabytes);
    if (found == scripts.end())
        found = scripts.emplace(megabytes, make(qsizetype(megabytes * double(1 << 20) * kCharactersPerRtfByte))).first;
    return found->second;
}

} // namespace ScriptSample
