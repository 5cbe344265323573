#include "quicklook/PreviewTextView.h"

#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutManager.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace {

// Room between the text and the view's edges, as a text view keeps it.
constexpr double kInset = 5.0;

} // namespace

PreviewTextView::PreviewTextView(QWidget* parent)
    : QWidget(parent), m_storage(std::make_shared<TextStorage>()),
      m_layout(std::make_unique<LayoutManager>(m_storage))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

PreviewTextView::~PreviewTextView() = default;

void PreviewTextView::setBackgroundColor(const Color& color)
{
    m_backgroundColor = color;
    update();
}

void PreviewTextView::appendText(const AttributedString& text)
{
    m_storage->append(text);
    updateHeight();
    update();
}

void PreviewTextView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(),
                     QColor::fromRgbF(float(m_backgroundColor.red), float(m_backgroundColor.green),
                                      float(m_backgroundColor.blue), float(m_backgroundColor.alpha)));
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF dirty = event->rect();
    const Rect inContainer{dirty.x() - kInset, dirty.y() - kInset, dirty.width(), dirty.height()};
    const Range glyphs = m_layout->glyphRangeForBoundingRect(inContainer);
    m_layout->drawBackgroundForGlyphRange(painter, glyphs, Point{kInset, kInset});
    m_layout->drawGlyphsForGlyphRange(painter, glyphs, Point{kInset, kInset});
}

void PreviewTextView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const double textWidth = std::max(0.0, width() - 2 * kInset);
    if (m_layout->textContainer().size().width != textWidth) {
        m_layout->setTextContainerSize({textWidth, TextContainer::kUnlimitedHeight});
        updateHeight();
    }
}

void PreviewTextView::updateHeight()
{
    const int height = int(std::ceil(m_layout->usedRectForTextContainer().height() + 2 * kInset));
    setMinimumHeight(height);
}
