#include "quicklook/PreviewTextView.h"

#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutManager.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Room between the text and the view's edges, as a text view keeps it.
constexpr double kInset = 5.0;
// Laid out at once even in a smaller window: the preview's preferred height.
constexpr int kFirstScreenHeight = 800;
constexpr double kNoHeightLimit = std::numeric_limits<double>::infinity();

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
    completeLayout();
    // A hidden view gets its resize event only when shown; the text is laid out at its width now.
    syncContainerWidth();
    m_pending = text;
    m_pendingOffset = 0;
    // The first screen is whatever the window shows, at least the preview's preferred height.
    layOutPending(std::max(kFirstScreenHeight, height()) + 2 * kInset, m_pending.length());
    scheduleNextPiece();
    update();
}

void PreviewTextView::completeLayout()
{
    if (isLayoutComplete())
        return;
    layOutPending(kNoHeightLimit, m_pending.length());
    update();
}

void PreviewTextView::layOutPending(double height, qsizetype length)
{
    const qsizetype end = std::min(m_pending.length(), m_pendingOffset + length);
    qsizetype piece = 4096;
    while (m_pendingOffset < end && m_layout->usedRectForTextContainer().height() <= height) {
        const qsizetype taken = std::min(piece, end - m_pendingOffset);
        m_storage->append(m_pending.attributedSubstring({m_pendingOffset, taken}));
        m_pendingOffset += taken;
        piece *= 2;
    }
    if (isLayoutComplete())
        m_pending = AttributedString();
    updateHeight();
}

void PreviewTextView::scheduleNextPiece()
{
    if (isLayoutComplete() || m_pieceScheduled)
        return;
    m_pieceScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_pieceScheduled = false;
        layOutPending(kNoHeightLimit, kPieceLength);
        update();
        scheduleNextPiece();
    });
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
    syncContainerWidth();
}

void PreviewTextView::syncContainerWidth()
{
    const double textWidth = std::max(0.0, width() - 2 * kInset);
    if (m_layout->textContainer().size().width != textWidth) {
        m_layout->setTextContainerSize({textWidth, TextContainer::kUnlimitedHeight});
        updateHeight();
    }
}

void PreviewTextView::updateHeight()
{
    double used = m_layout->usedRectForTextContainer().height();
    // Until the rest is laid out, the remaining characters are taken to need as much height each
    // as those laid out so far; the scroller then shows about where the first screen lies.
    const qsizetype laidOut = m_storage->length();
    const qsizetype total = laidOut + (m_pending.length() - m_pendingOffset);
    if (laidOut > 0 && total > laidOut)
        used *= double(total) / double(laidOut);
    setMinimumHeight(int(std::min(std::ceil(used + 2 * kInset), double(QWIDGETSIZE_MAX))));
}
