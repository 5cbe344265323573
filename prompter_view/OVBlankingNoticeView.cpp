#include "prompter_view/OVBlankingNoticeView.h"

#include "platform/appkit/RectFunctions.h"
#include "platform/text/AttributeNames.h"
#include "platform/textlayout/LayoutConversions.h"

#include <QFontDatabase>
#include <QFontMetricsF>

#include <vector>

namespace {

// One run of the label's text in the font and colour it is drawn with.
struct LabelRun {
    QString text;
    QFont font;
    QColor color;
};

QFont noticeFont()
{
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

// Views measure in points, one to a pixel at scale 1: a font sized in pixels measures and draws
// the same on every device.
QFont inPoints(QFont font, double size)
{
    font.setPixelSize(std::max(1, int(std::lround(size))));
    return font;
}

} // namespace

// Draws the runs on one line.
class OVBlankingNoticeView::Label final : public View {
public:
    using View::View;

    void setRuns(std::vector<LabelRun> runs)
    {
        m_runs.clear();
        for (LabelRun& run : runs) {
            const double size = run.font.pointSizeF() > 0 ? run.font.pointSizeF() : run.font.pixelSize();
            run.font = inPoints(run.font, size);
            m_runs.push_back(std::move(run));
        }
        setNeedsDisplay(true);
    }

    Size fittedSize() const
    {
        double width = 0;
        double height = 0;
        for (const LabelRun& run : m_runs) {
            const QFontMetricsF metrics(run.font);
            width += metrics.horizontalAdvance(run.text);
            height = std::max(height, metrics.height());
        }
        return {std::ceil(width), std::ceil(height)};
    }

    bool isFlipped() const override { return true; }
    View* hitTest(const Point&) override { return nullptr; }

    void drawRect(QPainter& painter, const Rect&) override
    {
        double x = 0;
        double ascent = 0;
        for (const LabelRun& run : m_runs)
            ascent = std::max(ascent, QFontMetricsF(run.font).ascent());
        for (const LabelRun& run : m_runs) {
            painter.setFont(run.font);
            painter.setPen(run.color);
            painter.drawText(QPointF(x, ascent), run.text);
            x += QFontMetricsF(run.font).horizontalAdvance(run.text);
        }
    }

private:
    std::vector<LabelRun> m_runs;
};

OVBlankingNoticeView::OVBlankingNoticeView(const Rect& frame) : View(frame)
{
    m_label = addSubview(std::make_unique<Label>(Rect{0, 0, 64, 64}));
    updateLabel();
}

View* OVBlankingNoticeView::label() const
{
    return m_label;
}

void OVBlankingNoticeView::setNotice(const QString& notice)
{
    m_notice = notice;
    m_attributedNotice.reset();
    updateLabel();
}

void OVBlankingNoticeView::setAttributedNotice(const AttributedString& notice)
{
    m_attributedNotice = notice;
    m_notice.clear();
    updateLabel();
}

void OVBlankingNoticeView::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    updateLabel();
    setNeedsDisplay(true);
}

QColor OVBlankingNoticeView::plainNoticeColor() const
{
    return QColor::fromRgbF(1.0f - m_backgroundColor.redF(), 1.0f - m_backgroundColor.greenF(),
                            1.0f - m_backgroundColor.blueF(), 1.0f);
}

void OVBlankingNoticeView::updateLabel()
{
    std::vector<LabelRun> runs;
    if (m_attributedNotice) {
        const AttributedString& text = *m_attributedNotice;
        qsizetype index = 0;
        while (index < text.length()) {
            Range range;
            const AttributeDictionary attributes = text.attributesAtIndex(index, &range);
            const AttributeValue font = attributes.value(kFontAttributeName);
            const AttributeValue color = attributes.value(kForegroundColorAttributeName);
            runs.push_back(
                {text.string().mid(range.location, range.length),
                 font.font() ? textlayout::qtFont(*font.font()) : inPoints(noticeFont(), kFontSize),
                 color.color() ? textlayout::qtColor(*color.color()) : QColor(Qt::black)});
            index = std::max(range.end(), index + 1);
        }
    } else if (!m_notice.isEmpty()) {
        runs.push_back({m_notice, inPoints(noticeFont(), kFontSize), plainNoticeColor()});
    }
    m_label->setRuns(std::move(runs));
    m_label->setFrameSize(m_label->fittedSize());
    updateWindowFrame();
}

void OVBlankingNoticeView::updateWindowFrame()
{
    const Size label = m_label->frame().size;
    const Rect frame = this->frame();
    setFrame({frame.origin, {label.width + 2 * kPadding, label.height + 2 * kPadding}});
    m_label->setFrameOrigin({kPadding, kPadding});
}

void OVBlankingNoticeView::drawRect(QPainter& painter, const Rect&)
{
    painter.fillRect(toQRectF(bounds()), m_backgroundColor);
}
