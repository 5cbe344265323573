#include "preferences/OVDefaultStyleTextView.h"

#include "platform/appkit/ColorPanel.h"
#include "platform/hvkit/HVFontManager.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextStorage.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

OVDefaultStyleTextView::OVDefaultStyleTextView(const Rect& frame)
    : OVTextView(frame), m_sendTimer(std::make_unique<QTimer>())
{
    setAllowsUndo(false);
    setEditable(false);
    setSelectable(false);
    m_sendTimer->setSingleShot(true);
    m_sendTimer->setInterval(0);
    QObject::connect(m_sendTimer.get(), &QTimer::timeout, m_sendTimer.get(),
                     [this] { _deferredSendTextStyleChanged(); });
}

OVDefaultStyleTextView::~OVDefaultStyleTextView() = default;

void OVDefaultStyleTextView::changeFont(const Font& font)
{
    TextStorage& storage = textStorage();
    if (storage.length() == 0)
        return;
    const AttributeValue current = storage.attribute(kFontAttributeName, 0);
    if (current.font() && *current.font() == font)
        return;
    storage.beginEditing();
    storage.addAttribute(kFontAttributeName, font, {0, storage.length()});
    storage.endEditing();
    sizeToFit();
    display();
    _sendTextStyleChanged();
    HVFontManager::updateFontPanel(font);
}

void OVDefaultStyleTextView::changeColor(const Color& color, unsigned option)
{
    if (option & ColorPanelBackgroundColor) {
        setBackgroundColor(HVFontManager::qtColor(color));
    } else {
        TextStorage& storage = textStorage();
        storage.beginEditing();
        storage.addAttribute(kForegroundColorAttributeName, color, {0, storage.length()});
        storage.endEditing();
    }
    setSelectedRange({0, 0});
    display();
    _sendTextStyleChanged();
}

void OVDefaultStyleTextView::changeColor(const QVariant& sender)
{
    if (!ColorPanel::isSender(sender))
        return;
    changeColor(HVFontManager::modelColor(ColorPanel::shared().color()), selectedColorPanelOption());
}

void OVDefaultStyleTextView::updateColorPanelColorForSelectedOption()
{
    if (!ColorPanel::sharedColorPanelExists())
        return;
    QColor shown;
    if (selectedColorPanelOption() & ColorPanelBackgroundColor) {
        shown = backgroundColor();
    } else if (textStorage().length() > 0) {
        const AttributeValue value = textStorage().attribute(kForegroundColorAttributeName, 0);
        if (const Color* color = value.color())
            shown = HVFontManager::qtColor(*color);
    }
    ColorPanel::shared().setColor(shown);
}

void OVDefaultStyleTextView::_sendTextStyleChanged()
{
    m_sendTimer->start();
}

bool OVDefaultStyleTextView::hasPendingTextStyleChange() const
{
    return m_sendTimer->isActive();
}

void OVDefaultStyleTextView::_deferredSendTextStyleChanged()
{
    if (m_styleChanged)
        m_styleChanged();
}

void OVDefaultStyleTextView::setEnclosingHeight(double height)
{
    m_enclosingHeight = std::max(0.0, height);
    setMinSize({0, std::max(0.0, m_enclosingHeight - 2)});
    setFrame(frame());
}

void OVDefaultStyleTextView::setFrame(const Rect& frame)
{
    Rect raised = frame;
    raised.size.height = std::max(frame.size.height, m_enclosingHeight - 2);
    View::setFrame(raised);
}

void OVDefaultStyleTextView::frameDidChange(const Size& oldSize)
{
    OVTextView::frameDidChange(oldSize);
    // Layout sizes the view to its text; the scroll view's height stays the floor.
    if (frame().size.height < m_enclosingHeight - 2)
        setFrameSize({frame().size.width, m_enclosingHeight - 2});
}

void OVDefaultStyleTextView::display() const
{
    if (m_display)
        m_display();
}

OVDefaultStyleSampleHost::OVDefaultStyleSampleHost(QWidget* parent)
    : QWidget(parent), m_textView(std::make_unique<OVDefaultStyleTextView>()),
      m_scrollBar(new QScrollBar(Qt::Vertical, this))
{
    setObjectName(QStringLiteral("defaultStyleScrollView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumHeight(80);
    // A click or the Tab key takes the focus, so the colour panel's choices go to the sample and
    // the keys scroll it.
    setFocusPolicy(Qt::StrongFocus);
    m_scrollBar->setObjectName(QStringLiteral("defaultStyleScroller"));
    m_scrollBar->setFocusPolicy(Qt::NoFocus);
    m_scrollBar->hide();
    QObject::connect(m_scrollBar, &QScrollBar::valueChanged, this, [this] { update(); });
    m_textView->setDisplayHandler([this] {
        updateScrolling();
        update();
    });
}

Responder* OVDefaultStyleSampleHost::colorPanelParticipant() const
{
    return m_textView.get();
}

OVDefaultStyleSampleHost::~OVDefaultStyleSampleHost()
{
    m_textView->setDisplayHandler({});
}

void OVDefaultStyleSampleHost::resizeEvent(QResizeEvent*)
{
    updateScrolling();
}

void OVDefaultStyleSampleHost::layOutSample()
{
    m_textView->setEnclosingHeight(height());
    m_textView->setFrameSize({double(width()), m_textView->frame().size.height});
    m_textView->sizeToFit();
    // The scroll bar takes its strip from the sample's width only when it shows: a sample that
    // fits keeps the whole width.
    const bool scrolls = std::ceil(m_textView->frame().size.height) > height();
    const int bar = scrolls ? m_scrollBar->sizeHint().width() : 0;
    if (bar > 0 && std::abs(m_textView->frame().size.width - (width() - bar)) > 0.5) {
        m_textView->setFrameSize({double(width() - bar), m_textView->frame().size.height});
        m_textView->sizeToFit();
    }
    m_scrollBar->setGeometry(width() - m_scrollBar->sizeHint().width(), 0, m_scrollBar->sizeHint().width(),
                             height());
    const int range = std::max(0, int(std::ceil(m_textView->frame().size.height)) - height());
    m_scrollBar->setRange(0, range);
    m_scrollBar->setPageStep(std::max(1, height()));
    m_scrollBar->setSingleStep(std::max(1, height() / 8));
    m_scrollBar->setVisible(range > 0);
}

void OVDefaultStyleSampleHost::updateScrolling()
{
    const bool showed = m_scrollBar->isVisible();
    const int range = m_scrollBar->maximum();
    layOutSample();
    // A refilled sample whose height changed shows its middle: the one line of the sample has the
    // spacing of a large multiple above and below its letters, and the letters are what the user
    // wants to see.
    if (showed != m_scrollBar->isVisible() || range != m_scrollBar->maximum())
        m_scrollBar->setValue(m_scrollBar->maximum() / 2);
}

void OVDefaultStyleSampleHost::wheelEvent(QWheelEvent* event)
{
    if (!m_scrollBar->isVisible()) {
        event->ignore();
        return;
    }
    QCoreApplication::sendEvent(m_scrollBar, event);
}

void OVDefaultStyleSampleHost::keyPressEvent(QKeyEvent* event)
{
    const auto step = [this](QAbstractSlider::SliderAction action) {
        m_scrollBar->triggerAction(action);
        return true;
    };
    bool used = false;
    if (m_scrollBar->isVisible()) {
        switch (event->key()) {
        case Qt::Key_Up:
            used = step(QAbstractSlider::SliderSingleStepSub);
            break;
        case Qt::Key_Down:
            used = step(QAbstractSlider::SliderSingleStepAdd);
            break;
        case Qt::Key_PageUp:
            used = step(QAbstractSlider::SliderPageStepSub);
            break;
        case Qt::Key_PageDown:
            used = step(QAbstractSlider::SliderPageStepAdd);
            break;
        case Qt::Key_Home:
            used = step(QAbstractSlider::SliderToMinimum);
            break;
        case Qt::Key_End:
            used = step(QAbstractSlider::SliderToMaximum);
            break;
        default:
            break;
        }
    }
    if (!used)
        QWidget::keyPressEvent(event);
}

void OVDefaultStyleSampleHost::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHints(View::kDefaultRenderHints);
    painter.fillRect(rect(), m_textView->backgroundColor());
    // The view's frame is y-up, as a window's content is; its top stays at the host's top, less
    // what is scrolled away.
    const double top = m_textView->frame().origin.y + m_textView->frame().size.height;
    const QTransform toDevice(1, 0, 0, -1, 0, top - m_scrollBar->value());
    m_textView->drawTree(painter, toDevice, QRectF(event->rect()));
}
