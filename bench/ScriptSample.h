#pragma once

// A long teleprompter script shaped like the ones operators read: numbered scenes with centred
// headings, a bold speaker cue in its own colour before each paragraph and an italic word for
// emphasis in every paragraph, about 70 characters per attribute run. Its RTF, as the platform's
// writer makes it, is about 1.3 bytes per character.

#include "platform/text/MutableAttributedString.h"

#include <QByteArray>
#include <QStringList>

#include <iterator>
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

// RTF of about bytes bytes as the platform's own editor writes a script, byte for byte in its style
// rather than through our writer: every non-ASCII character as \uc0\uN (about 33,000 a megabyte,
// curly quotes, dashes, ellipses and accented names), a change of font and colour every few words
// (about 7,000 of each a megabyte), and each paragraph opening with its own \pard run of tab stops,
// writing direction and alignment, which differs from one paragraph to the next.
inline QByteArray platformStyleRtf(qsizetype bytes)
{
    static const char* const kWords[] = {
        "Good",    "evening", "and",    "welcome",    "to",    "the",     "news", "at",     "ten",  "tonight",
        "top",     "story",   "corner", "reopened",   "after", "a",       "long", "winter", "said", "owner",
        "pouring", "first",   "coffee", "of",         "day",   "traffic", "on",   "ring",   "road", "is",
        "slow",    "in",      "both",   "directions", "allow", "extra",   "time"};
    static const int kNonAscii[] = {0x2019, 0x201C, 0x201D, 0x2026, 0x00E9, 0x2014, 0x00F6, 0x00E8};
    // The platform leaves natural alignment unwritten.
    static const char* const kAlignments[] = {"", "\\ql", "\\qc", "\\qr", "\\qj"};
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2761\n"
        "\\cocoatextscaling0\\cocoaplatform0{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;"
        "\\f1\\fswiss\\fcharset0 Helvetica-Bold;\\f2\\fswiss\\fcharset0 Helvetica-Oblique;"
        "\\f3\\froman\\fcharset0 Times-Roman;}\n"
        "{\\colortbl;\\red255\\green255\\blue255;\\red255\\green255\\blue255;"
        "\\red255\\green204\\blue0;\\red120\\green200\\blue255;\\red255\\green120\\blue160;}\n"
        "{\\*\\expandedcolortbl;;\\cssrgb\\c100000\\c100000\\c100000;\\cssrgb\\c100000\\c80000\\c0;"
        "\\cssrgb\\c50000\\c80000\\c100000;\\cssrgb\\c100000\\c47059\\c62745;}\n"
        "\\paperw11900\\paperh16840\\margl1440\\margr1440\\vieww11520\\viewh8400\\viewkind0\n";
    rtf.reserve(bytes + 4096);
    quint32 seed = 1;
    const auto next = [&seed](quint32 range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    for (int paragraph = 0; rtf.size() < bytes; ++paragraph) {
        rtf += "\\pard\\tx566\\tx1133\\pardirnatural";
        rtf += kAlignments[next(std::size(kAlignments))];
        rtf += "\\partightenfactor0\n\n";
        for (int run = 0; run < 8; ++run) {
            rtf +=
                "\\f" + QByteArray::number(next(4)) + "\\fs96 \\cf" + QByteArray::number(2 + next(4)) + ' ';
            for (int word = 0; word < 14; ++word) {
                rtf += kWords[next(std::size(kWords))];
                if (next(100) < 33)
                    rtf += "\\uc0\\u" + QByteArray::number(kNonAscii[next(std::size(kNonAscii))]) + ' ';
                rtf += ' ';
            }
        }
        rtf += "\\\n";
    }
    rtf += '}';
    return rtf;
}

// One script per size of RTF in megabytes, made once for the whole run: building the model is the
// reader's cost, measured elsewhere.
inline const MutableAttributedString& ofMegabytes(int megabytes)
{
    static std::map<int, MutableAttributedString> scripts;
    auto found = scripts.find(megabytes);
    if (found == scripts.end())
        found =
            scripts.emplace(megabytes, make(qsizetype(megabytes * double(1 << 20) * kCharactersPerRtfByte)))
                .first;
    return found->second;
}

} // namespace ScriptSample
