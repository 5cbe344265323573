#include "platform/text/RtfParser.h"

#include "platform/text/RtfControlWords.h"

#include <QSizeF>

#include <algorithm>

namespace RtfParsing {

using RtfControlWords::id;

bool Parser::destinationWord(int word)
{
    const Destination current = state().destination;
    if (current == Destination::Info) {
        switch (word) {
        case id("title"):
            startDestination(Destination::InfoField, InfoKey::Title);
            break;
        case id("author"):
            startDestination(Destination::InfoField, InfoKey::Author);
            break;
        case id("operator"):
            startDestination(Destination::InfoField, InfoKey::Editor);
            break;
        case id("company"):
            startDestination(Destination::InfoField, InfoKey::Company);
            break;
        case id("copyright"):
            startDestination(Destination::InfoField, InfoKey::Copyright);
            break;
        case id("subject"):
            startDestination(Destination::InfoField, InfoKey::Subject);
            break;
        case id("keywords"):
            startDestination(Destination::InfoField, InfoKey::Keywords);
            break;
        case id("doccomm"):
            startDestination(Destination::InfoField, InfoKey::Comment);
            break;
        case id("creatim"):
        case id("revtim"):
            startDestination(Destination::InfoTime,
                             word == id("creatim") ? InfoKey::Created : InfoKey::Revised);
            m_time = {};
            break;
        default:
            startDestination(Destination::Skip);
            break;
        }
        return true;
    }
    if (current == Destination::Background) {
        if (word == id("sn")) {
            startDestination(Destination::ShapePropertyName);
            return true;
        }
        if (word == id("sv")) {
            startDestination(Destination::ShapePropertyValue);
            return true;
        }
        return false;
    }
    switch (word) {
    case id("fonttbl"):
        startDestination(Destination::FontTable);
        m_fontOpen = false;
        return true;
    case id("colortbl"):
        startDestination(Destination::ColorTable);
        m_colors.clear();
        m_colorEntry = {};
        return true;
    case id("expandedcolortbl"):
        startDestination(Destination::ExpandedColorTable);
        m_expandedColors.clear();
        m_expandedComponents.clear();
        m_expandedGray = false;
        return true;
    case id("info"):
        startDestination(Destination::Info);
        return true;
    case id("pict"):
        startDestination(Destination::Picture);
        m_pictureData.clear();
        m_pictureHighNibble = true;
        m_pictureType.clear();
        m_pictureWidthGoal = m_pictureHeightGoal = m_pictureWidth = m_pictureHeight = 0;
        m_pictureScaleX = m_pictureScaleY = 100;
        return true;
    case id("NeXTGraphic"):
        startDestination(Destination::NeXTGraphic);
        m_graphicWidth = m_graphicHeight = 0;
        return true;
    case id("background"):
        startDestination(Destination::Background);
        m_shapePropertyName.clear();
        return true;
    case id("fldinst"):
        startDestination(Destination::FieldInstruction);
        return true;
    case id("fldrslt"):
        state().chars.link = m_pendingLink;
        m_formatMayHaveChanged = true;
        m_pendingLink = -1;
        return true;
    case id("field"):
        // A container whose content is read as it stands.
        m_pendingLink = -1;
        return true;
    case id("shppict"):
        return true;
    case id("stylesheet"):
    case id("header"):
    case id("headerl"):
    case id("headerr"):
    case id("headerf"):
    case id("footer"):
    case id("footerl"):
    case id("footerr"):
    case id("footerf"):
    case id("footnote"):
    case id("annotation"):
    case id("nonshppict"):
    case id("pn"):
    case id("listtable"):
    case id("listoverridetable"):
    case id("revtbl"):
    case id("rsidtbl"):
    case id("generator"):
    case id("xmlnstbl"):
    case id("themedata"):
    case id("colorschememapping"):
    case id("latentstyles"):
    case id("datastore"):
    case id("pgdsctbl"):
    case id("object"):
    case id("private"):
    case id("template"):
    case id("xe"):
    case id("tc"):
    case id("txe"):
    case id("atnid"):
    case id("atnauthor"):
    case id("bkmkstart"):
    case id("bkmkend"):
    case id("fldtype"):
    case id("mmathPr"):
    case id("ftnsep"):
    case id("ftnsepc"):
    case id("aftnsep"):
    case id("aftnsepc"):
    case id("objdata"):
    case id("blipuid"):
    case id("picprop"):
    case id("userprops"):
    case id("docvar"):
    case id("shpinst"):
    case id("shp"):
        startDestination(Destination::Skip);
        return true;
    default:
        return false;
    }
}

void Parser::controlWord(int word, bool hasParameter, int parameter)
{
    if (word == id("u")) {
        if (parameter > 0xFFFF && parameter <= 0x10FFFF) {
            const char32_t c = char32_t(parameter);
            flushPendingBytes();
            appendText(QString::fromUcs4(&c, 1));
        } else {
            appendCharacter(char16_t(parameter < 0 ? parameter + 65536 : parameter));
        }
        m_unicodeSkipLeft = state().unicodeSkip;
        return;
    }
    if (word == id("uc")) {
        state().unicodeSkip = std::clamp(parameter, 0, 16);
        return;
    }
    if (word == 0)
        return;
    const Destination destination = state().destination;
    switch (destination) {
    case Destination::FontTable:
        switch (word) {
        case id("f"):
            commitFontEntry();
            m_fontNumber = parameter;
            m_fontCharset = -1;
            m_fontFixedPitch = false;
            m_fontOpen = true;
            break;
        case id("fcharset"):
            m_fontCharset = parameter;
            break;
        case id("fmodern"):
            m_fontFixedPitch = true;
            break;
        }
        return;
    case Destination::ColorTable:
        switch (word) {
        case id("red"):
            m_colorEntry.red = std::clamp(parameter, 0, 255), m_colorEntry.isDefault = false;
            break;
        case id("green"):
            m_colorEntry.green = std::clamp(parameter, 0, 255), m_colorEntry.isDefault = false;
            break;
        case id("blue"):
            m_colorEntry.blue = std::clamp(parameter, 0, 255), m_colorEntry.isDefault = false;
            break;
        }
        return;
    case Destination::ExpandedColorTable:
        switch (word) {
        case id("csgray"):
            m_expandedGray = true;
            break;
        case id("cssrgb"):
        case id("csgenericrgb"):
        case id("csdevicergb"):
            m_expandedGray = false;
            break;
        case id("c"):
            if (m_expandedComponents.size() < 8)
                m_expandedComponents.push_back(std::clamp(parameter, 0, 100000));
            break;
        }
        return;
    case Destination::InfoTime:
        switch (word) {
        case id("yr"):
            m_time.year = std::clamp(parameter, 0, 9999);
            break;
        case id("mo"):
            m_time.month = std::clamp(parameter, 1, 12);
            break;
        case id("dy"):
            m_time.day = std::clamp(parameter, 1, 31);
            break;
        case id("hr"):
            m_time.hour = std::clamp(parameter, 0, 23);
            break;
        case id("min"):
            m_time.minute = std::clamp(parameter, 0, 59);
            break;
        case id("sec"):
            m_time.second = std::clamp(parameter, 0, 59);
            break;
        }
        return;
    case Destination::Picture:
        switch (word) {
        case id("pngblip"):
            m_pictureType = QStringLiteral("png");
            break;
        case id("jpegblip"):
            m_pictureType = QStringLiteral("jpeg");
            break;
        case id("picwgoal"):
            m_pictureWidthGoal = parameter;
            break;
        case id("pichgoal"):
            m_pictureHeightGoal = parameter;
            break;
        case id("picw"):
            m_pictureWidth = parameter;
            break;
        case id("pich"):
            m_pictureHeight = parameter;
            break;
        case id("picscalex"):
            m_pictureScaleX = parameter;
            break;
        case id("picscaley"):
            m_pictureScaleY = parameter;
            break;
        }
        return;
    case Destination::NeXTGraphic:
        if (word == id("width"))
            m_graphicWidth = parameter;
        else if (word == id("height"))
            m_graphicHeight = parameter;
        return;
    default:
        break;
    }

    if (characterWord(word, hasParameter, parameter) || paragraphWord(word, hasParameter, parameter) ||
        documentWord(word, parameter))
        return;

    char16_t c = 0;
    switch (word) {
    case id("par"):
    case id("sect"):
    case id("row"):
        c = u'\n';
        break;
    case id("line"):
        c = 0x2028;
        break;
    case id("tab"):
    case id("cell"):
        c = u'\t';
        break;
    case id("page"):
        c = 0x000C;
        break;
    case id("emdash"):
        c = 0x2014;
        break;
    case id("endash"):
        c = 0x2013;
        break;
    case id("lquote"):
        c = 0x2018;
        break;
    case id("rquote"):
        c = 0x2019;
        break;
    case id("ldblquote"):
        c = 0x201C;
        break;
    case id("rdblquote"):
        c = 0x201D;
        break;
    case id("bullet"):
        c = 0x2022;
        break;
    case id("emspace"):
        c = 0x2003;
        break;
    case id("enspace"):
        c = 0x2002;
        break;
    case id("qmspace"):
        c = 0x2005;
        break;
    case id("zwj"):
        c = 0x200D;
        break;
    case id("zwnj"):
        c = 0x200C;
        break;
    case id("ltrmark"):
        c = 0x200E;
        break;
    case id("rtlmark"):
        c = 0x200F;
        break;
    default:
        return;
    }
    if (c == u'\n' && state().destination == Destination::Text)
        endParagraph();
    else
        appendCharacter(c);
}

bool Parser::characterWord(int word, bool hasParameter, int parameter)
{
    m_formatMayHaveChanged = true;
    CharFormat& f = state().chars;
    const bool on = !hasParameter || parameter != 0;
    switch (word) {
    case id("plain"): {
        const int link = f.link;
        f = CharFormat();
        f.font = m_defaultFont;
        f.link = link;
        break;
    }
    case id("f"):
        f.font = parameter;
        break;
    case id("fs"):
        f.fontSize = hasParameter && parameter > 0 ? std::min(parameter, 32767) : kDefaultFontSize;
        break;
    case id("b"):
        f.bold = on;
        break;
    case id("i"):
        f.italic = on;
        break;
    case id("ul"):
    case id("ulw"):
    case id("uld"):
    case id("uldash"):
    case id("uldashd"):
    case id("ulwave"):
    case id("ulhair"):
        f.underline = on ? qint8(kUnderlineStyleSingle) : qint8(0);
        break;
    case id("uldb"):
        f.underline = on ? qint8(kUnderlineStyleDouble) : qint8(0);
        break;
    case id("ulth"):
        f.underline = on ? qint8(kUnderlineStyleThick) : qint8(0);
        break;
    case id("ulnone"):
        f.underline = 0;
        break;
    case id("strike"):
        f.strikethrough = on ? qint8(kUnderlineStyleSingle) : qint8(0);
        break;
    case id("striked"):
        f.strikethrough = on ? qint8(kUnderlineStyleDouble) : qint8(0);
        break;
    case id("cf"):
        f.foreground = std::max(parameter, 0);
        break;
    case id("cb"):
    case id("highlight"):
    case id("chcbpat"):
        f.background = std::max(parameter, 0);
        break;
    case id("super"):
        f.superscript = on ? 1 : 0;
        break;
    case id("sub"):
        f.superscript = on ? -1 : 0;
        break;
    case id("nosupersub"):
        f.superscript = 0;
        break;
    case id("up"):
        f.baseline = hasParameter ? std::clamp(parameter, -32767, 32767) : 6;
        break;
    case id("dn"):
        f.baseline = -(hasParameter ? std::clamp(parameter, -32767, 32767) : 6);
        break;
    case id("expnd"):
        f.kern = std::clamp(parameter, -32767, 32767) * 5; // quarter points to twips
        break;
    case id("expndtw"):
        f.kern = std::clamp(parameter, -32767, 32767);
        break;
    case id("shad"):
        f.shadow = on;
        break;
    case id("shadx"):
        f.shadowX = std::clamp(parameter, -32767, 32767);
        break;
    case id("shady"):
        f.shadowY = std::clamp(parameter, -32767, 32767);
        break;
    case id("shadr"):
        f.shadowRadius = std::clamp(parameter, 0, 32767);
        break;
    case id("shadc"):
        f.shadowColor = std::max(parameter, 0);
        break;
    case id("ulc"):
        f.underlineColor = std::max(parameter, 0);
        break;
    case id("strikec"):
        f.strikethroughColor = std::max(parameter, 0);
        break;
    case id("kerning"):
    case id("outl"):
    case id("caps"):
    case id("scaps"):
    case id("v"):
        // Known, without an attribute of ours.
        break;
    default:
        return false;
    }
    return true;
}

bool Parser::paragraphWord(int word, bool hasParameter, int parameter)
{
    ParaFormat& p = state().para;
    const auto points = [&] { return std::clamp(parameter, -1000000, 1000000); };
    switch (word) {
    case id("pard"):
        p = ParaFormat();
        break;
    case id("ql"):
        p.style.alignment = TextAlignment::Left;
        break;
    case id("qr"):
        p.style.alignment = TextAlignment::Right;
        break;
    case id("qc"):
        p.style.alignment = TextAlignment::Center;
        break;
    case id("qj"):
        p.style.alignment = TextAlignment::Justified;
        break;
    case id("qnatural"):
        p.style.alignment = TextAlignment::Natural;
        break;
    case id("fi"):
        p.firstIndent = points();
        break;
    case id("li"):
        p.leftIndent = points();
        break;
    case id("ri"):
        p.rightIndent = points();
        break;
    case id("sb"):
        p.style.paragraphSpacingBefore = std::max(parameter, 0) / 20.0;
        break;
    case id("sa"):
        p.style.paragraphSpacing = std::max(parameter, 0) / 20.0;
        break;
    case id("sl"):
        p.lineSpacingRule = hasParameter ? points() : 0;
        break;
    case id("slmult"):
        p.lineSpacingMultiple = hasParameter && parameter != 0;
        break;
    case id("slleading"):
        p.style.lineSpacing = std::max(parameter, 0) / 20.0;
        break;
    case id("slminimum"):
        p.style.minimumLineHeight = std::max(parameter, 0) / 20.0;
        break;
    case id("slmaximum"):
        p.style.maximumLineHeight = std::max(parameter, 0) / 20.0;
        break;
    case id("tql"):
        p.nextTabType = TextTabType::Left;
        break;
    case id("tqr"):
        p.nextTabType = TextTabType::Right;
        break;
    case id("tqc"):
        p.nextTabType = TextTabType::Center;
        break;
    case id("tqdec"):
        p.nextTabType = TextTabType::Decimal;
        break;
    case id("tx"):
    case id("tb"):
        if (!p.tabsGiven) {
            p.style.tabStops.clear();
            p.tabsGiven = true;
        }
        // A hostile file could list millions of stops; no paragraph needs more than a few hundred.
        if (p.style.tabStops.size() < 256)
            p.style.tabStops.append(TextTab{p.nextTabType, std::max(parameter, 0) / 20.0});
        p.nextTabType = TextTabType::Left;
        break;
    case id("pardeftab"):
        p.style.defaultTabInterval = std::max(parameter, 0) / 20.0;
        break;
    case id("pardirnatural"):
        p.style.baseWritingDirection = WritingDirection::Natural;
        break;
    case id("ltrpar"):
        p.style.baseWritingDirection = WritingDirection::LeftToRight;
        break;
    case id("rtlpar"):
        p.style.baseWritingDirection = WritingDirection::RightToLeft;
        break;
    case id("partightenfactor"):
        // The platform's writer marks every paragraph with it; nothing of ours depends on it.
        break;
    default:
        return false;
    }
    return true;
}

bool Parser::documentWord(int word, int parameter)
{
    const auto twipsToPoints = [](int twips) { return std::max(twips, 0) / 20.0; };
    switch (word) {
    case id("ansicpg"):
        m_codePage = parameter;
        break;
    case id("mac"):
        m_codePage = CodePages::kMacRoman;
        break;
    case id("ansi"):
        m_codePage = kDefaultCodePage;
        break;
    case id("deff"):
        m_defaultFont = parameter;
        if (m_stack.size() == 1)
            state().chars.font = parameter;
        m_formatMayHaveChanged = true;
        break;
    case id("paperw"):
    case id("paperh"): {
        QSizeF size = m_documentAttributes.value(NSPaperSizeDocumentAttribute).toSizeF();
        (word == id("paperw") ? size.rwidth() : size.rheight()) = twipsToPoints(parameter);
        m_documentAttributes.insert(NSPaperSizeDocumentAttribute, size);
        break;
    }
    case id("vieww"):
    case id("viewh"): {
        QSizeF size = m_documentAttributes.value(NSViewSizeDocumentAttribute).toSizeF();
        (word == id("vieww") ? size.rwidth() : size.rheight()) = twipsToPoints(parameter);
        m_documentAttributes.insert(NSViewSizeDocumentAttribute, size);
        break;
    }
    case id("margl"):
        m_documentAttributes.insert(NSLeftMarginDocumentAttribute, twipsToPoints(parameter));
        break;
    case id("margr"):
        m_documentAttributes.insert(NSRightMarginDocumentAttribute, twipsToPoints(parameter));
        break;
    case id("margt"):
        m_documentAttributes.insert(NSTopMarginDocumentAttribute, twipsToPoints(parameter));
        break;
    case id("margb"):
        m_documentAttributes.insert(NSBottomMarginDocumentAttribute, twipsToPoints(parameter));
        break;
    case id("viewkind"):
        m_documentAttributes.insert(NSViewModeDocumentAttribute, std::clamp(parameter, 0, 5));
        break;
    case id("viewscale"):
        m_documentAttributes.insert(NSViewZoomDocumentAttribute, double(std::clamp(parameter, 1, 10000)));
        break;
    default:
        return false;
    }
    return true;
}

void Parser::controlSymbol(char symbol)
{
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        textBytes(std::string_view(&symbol, 1));
        break;
    case '~':
        appendCharacter(0x00A0);
        break;
    case '_':
        appendCharacter(0x2011);
        break;
    case '\n':
    case '\r':
        if (state().destination == Destination::Text)
            endParagraph();
        break;
    case '\t':
        appendCharacter(u'\t');
        break;
    default:
        // \- (optional hyphen), \| and \: (index marks) leave no character in the text.
        break;
    }
}

} // namespace RtfParsing
