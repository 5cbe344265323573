#include "prompter_view/OVTimeBar.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/RectFunctions.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVSettingsController.h"
#include "platform/text/AttributeNames.h"
#include "prompter_view/OVContextualMenu.h"
#include "prompter_view/OVTimeBarActionResponder.h"
#include "prompter_view/OVTimeBarText.h"
#include "prompter_view/OVViewDrawing.h"
#include "prompting/OVCore.h"
#include "prompting/OVTimeFormatter.h"
#include "prompting/OVTimeInfo.h"

#include <QAction>
#include <QMenu>

#include <algorithm>
#include <cmath>

namespace {

const QString kSettingsKey = QStringLiteral("timeBarSettings");
const QString kTimerTypeKey = QStringLiteral("timerType");
const QString kPositionKey = QStringLiteral("position");
const QString kShowsClockKey = QStringLiteral("showsClock");
const QString kShowsTimerKey = QStringLiteral("showsTimer");
const QString kChangeColorsKey = QStringLiteral("changeColorsIfNecessary");
const QString kTimeAttributesKey = QStringLiteral("timeAttributes");
const QString kTitleAttributesKey = QStringLiteral("titleAttributes");
constexpr qint64 kLastSecondOfDay = 86399;

OVTimeBar*& actionableBar()
{
    static OVTimeBar* bar = nullptr;
    return bar;
}

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

AttributeDictionary defaultAttributes(double pointSize)
{
    AttributeDictionary attributes;
    attributes.insert(kFontAttributeName, OVTimeBarText::boldSystemFont(pointSize));
    attributes.insert(kForegroundColorAttributeName, Color::rgb(1, 1, 1));
    return attributes;
}

std::optional<bool> boolean(const PlistValue& value)
{
    if (value.isBoolean())
        return value.boolean();
    if (value.isInteger() && (value.integer() == 0 || value.integer() == 1))
        return value.integer() == 1;
    return std::nullopt;
}

std::optional<qint64> zeroOrOne(const PlistValue& value)
{
    if (value.isInteger() && (value.integer() == 0 || value.integer() == 1))
        return value.integer();
    return std::nullopt;
}

// Attribute data from the settings is used only when it reads back and carries a font: a bar without
// a font would have no height.
std::optional<AttributeDictionary> usableAttributes(const PlistValue& value)
{
    if (!value.isData())
        return std::nullopt;
    std::optional<AttributeDictionary> attributes = OVTimeBarText::attributesFromRtf(value.data());
    if (!attributes || !OVTimeBarText::fontOf(*attributes))
        return std::nullopt;
    return attributes;
}

bool isUsableWindow(const Window* window)
{
    return window && window->isVisible() && window->canBecomeKeyWindow() && !window->attachedSheet() &&
           !window->isSheet() && !window->isMiniaturized();
}

OVTimeBarActionResponder* responderOf(Window* window)
{
    if (!isUsableWindow(window))
        return nullptr;
    if (auto* responder = dynamic_cast<OVTimeBarActionResponder*>(window))
        return responder;
    return dynamic_cast<OVTimeBarActionResponder*>(window->windowController());
}

} // namespace

static HVInitialDefaultsProviderRegistration<OVTimeBar> s_registration("OVTimeBar");

OVTimeBar::OVTimeBar(const Rect& frame)
    : View(frame), m_ownTimeInfo(std::make_unique<OVTimeInfo>()), m_timeInfo(m_ownTimeInfo.get()),
      m_sync(
          synchronizationScheme(), this, [this] { return properties(); },
          [this](const PlistDictionary& p) { loadProperties(p); })
{
    m_sync.suspendPosting();
    m_components[kClockTitle].setString(localized("time-bar-clock", "Clock"));
    m_components[kElapsedTitle].setString(localized("time-bar-elapsed", "Elapsed"));
    m_components[kRemainingTitle].setString(localized("time-bar-remaining", "Remaining"));
    m_components[kClockSample].setString(timeInfo()->clockTimeStringForSeconds(kLastSecondOfDay));
    OVTimeInfo sample;
    sample.setRemainingSeconds(-kLastSecondOfDay);
    m_components[kTimerSample].setString(sample.remainingTimeString());
    m_backgroundColor = QColor(Qt::white);
    m_borderColor = OVViewDrawing::brightened(OVViewDrawing::inverseColor(*m_backgroundColor), 0.2);
    m_timeAttributes = defaultAttributes(64);
    m_titleAttributes = defaultAttributes(28);
    loadProperties(defaultProperties());
    m_settingUp = false;
    updateComponentVisibility();
    applyAttributes();
    update();
    m_sync.resumePosting();
    m_timersObserver = NotificationObserver(
        NotificationCenter::shared(), OVCoreWillRequireSynchronizedTimersUpdateNotification, nullptr,
        [this](const Notification&) {
            if (!isHiddenOrHasHiddenAncestor() && !visibleRect().isEmpty())
                update();
        });
    HVSettingsController::shared().registerDefaultsProviderForResetAll(this);
}

OVTimeBar::~OVTimeBar()
{
    if (actionableBar() == this)
        clearActionableTimeBar();
    HVSettingsController::shared().unregisterDefaultsProviderForResetAll(this);
}

OVSynchronizedProperties::Scheme& OVTimeBar::synchronizationScheme()
{
    static OVSynchronizedProperties::Scheme s{OVTimeBarInternalPropertiesDidChangeNotification,
                                              OVTimeBarPropertiesDidChangeNotification, kSettingsKey};
    return s;
}

PlistDictionary OVTimeBar::initialDefaultProperties()
{
    PlistDictionary properties;
    properties.insert(kTimerTypeKey, PlistValue(qint64(kTimerElapsed)));
    properties.insert(kPositionKey, PlistValue(qint64(kPositionBottom)));
    properties.insert(kShowsClockKey, PlistValue(true));
    properties.insert(kShowsTimerKey, PlistValue(true));
    properties.insert(kChangeColorsKey, PlistValue(true));
    properties.insert(kTimeAttributesKey, PlistValue(OVTimeBarText::rtfData(defaultAttributes(64))));
    properties.insert(kTitleAttributesKey, PlistValue(OVTimeBarText::rtfData(defaultAttributes(28))));
    return properties;
}

QString OVTimeBar::contextualMenuTitle()
{
    return localized("time-bar-timer-settings", "Timer Settings");
}

OVTimeBarActionResponder* OVTimeBar::timeBarActionResponder()
{
    Application& application = Application::shared();
    if (application.modalWindow())
        return nullptr;
    if (auto* responder = responderOf(application.keyWindow()))
        return responder;
    if (auto* responder = responderOf(application.mainWindow()))
        return responder;
    for (Window* window : application.orderedWindows())
        if (auto* responder = responderOf(window))
            return responder;
    return nullptr;
}

OVTimeBar* OVTimeBar::actionableTimeBar()
{
    return actionableBar();
}

void OVTimeBar::clearActionableTimeBar()
{
    actionableBar() = nullptr;
}

PlistDictionary OVTimeBar::properties() const
{
    PlistDictionary properties;
    properties.insert(kTimerTypeKey, PlistValue(m_timerType));
    properties.insert(kPositionKey, PlistValue(m_position));
    properties.insert(kShowsClockKey, PlistValue(m_showsClock));
    properties.insert(kShowsTimerKey, PlistValue(m_showsTimer));
    properties.insert(kChangeColorsKey, PlistValue(m_changeColorsIfNecessary));
    properties.insert(kTimeAttributesKey, PlistValue(OVTimeBarText::rtfData(m_timeAttributes)));
    properties.insert(kTitleAttributesKey, PlistValue(OVTimeBarText::rtfData(m_titleAttributes)));
    return properties;
}

void OVTimeBar::loadProperties(const std::optional<PlistDictionary>& properties)
{
    if (!properties)
        return;
    m_sync.suspendPosting();
    if (const PlistValue* value = properties->find(kTimerTypeKey))
        if (const std::optional<qint64> type = zeroOrOne(*value))
            setTimerType(*type);
    if (const PlistValue* value = properties->find(kPositionKey))
        if (const std::optional<qint64> position = zeroOrOne(*value))
            setPosition(*position);
    if (const PlistValue* value = properties->find(kShowsClockKey))
        if (const std::optional<bool> flag = boolean(*value))
            setShowsClock(*flag);
    if (const PlistValue* value = properties->find(kShowsTimerKey))
        if (const std::optional<bool> flag = boolean(*value))
            setShowsTimer(*flag);
    if (const PlistValue* value = properties->find(kChangeColorsKey))
        if (const std::optional<bool> flag = boolean(*value))
            setChangeColorsIfNecessary(*flag);
    if (const PlistValue* value = properties->find(kTimeAttributesKey))
        if (const std::optional<AttributeDictionary> attributes = usableAttributes(*value))
            setTimeAttributes(*attributes);
    if (const PlistValue* value = properties->find(kTitleAttributesKey))
        if (const std::optional<AttributeDictionary> attributes = usableAttributes(*value))
            setTitleAttributes(*attributes);
    m_sync.resumePosting();
}

void OVTimeBar::defaultsDidReset()
{
    loadProperties(initialDefaultProperties());
}

void OVTimeBar::setTimerType(qint64 type)
{
    if ((type != kTimerElapsed && type != kTimerRemaining) || type == m_timerType)
        return;
    m_timerType = type;
    updateComponentVisibility();
    relayout();
    setNeedsDisplay(true);
    postChange();
}

void OVTimeBar::setPosition(qint64 position)
{
    if ((position != kPositionBottom && position != kPositionTop) || position == m_position)
        return;
    m_position = position;
    postChange();
    NotificationCenter::shared().postNotification(OVTimeBarPositionDidChangeNotification, this);
    setNeedsDisplay(true);
}

void OVTimeBar::setShowsClock(bool shows)
{
    if (shows == m_showsClock)
        return;
    m_showsClock = shows;
    updateComponentVisibility();
    relayout();
    setNeedsDisplay(true);
    postChange();
}

void OVTimeBar::setShowsTimer(bool shows)
{
    if (shows == m_showsTimer)
        return;
    m_showsTimer = shows;
    updateComponentVisibility();
    relayout();
    setNeedsDisplay(true);
    postChange();
}

void OVTimeBar::setChangeColorsIfNecessary(bool change)
{
    if (change == m_changeColorsIfNecessary)
        return;
    m_changeColorsIfNecessary = change;
    applyAttributes();
    postChange();
}

void OVTimeBar::setTimeAttributes(const AttributeDictionary& attributes)
{
    const AttributeDictionary kept = OVTimeBarText::fontAndColor(attributes);
    if (kept == m_timeAttributes)
        return;
    m_timeAttributes = kept;
    applyAttributes();
    resizeToHeightIfShown();
    postChange();
}

void OVTimeBar::setTitleAttributes(const AttributeDictionary& attributes)
{
    const AttributeDictionary kept = OVTimeBarText::fontAndColor(attributes);
    if (kept == m_titleAttributes)
        return;
    m_titleAttributes = kept;
    applyAttributes();
    resizeToHeightIfShown();
    postChange();
}

void OVTimeBar::resizeToHeightIfShown()
{
    if (m_settingUp || isHidden())
        return;
    // A bar whose fonts are missing answers -1: that must never become a frame height.
    const double wanted = frameHeight();
    if (wanted != frame().size.height)
        setFrameSize({frame().size.width, wanted});
    setNeedsDisplay(true);
}

void OVTimeBar::animateToHeight(double height, double duration, Completion completion)
{
    Rect target = frame();
    target.size.height = std::isfinite(height) ? std::max(0.0, height) : 0.0;
    animateFrame(target, duration, std::move(completion));
}

void OVTimeBar::setBackgroundColor(const std::optional<QColor>& color)
{
    m_backgroundColor = color;
    m_borderColor =
        color ? OVViewDrawing::brightened(OVViewDrawing::inverseColor(*color), 0.2) : QColor(Qt::white);
    applyAttributes();
}

OVTimeInfo* OVTimeBar::timeInfo() const
{
    return m_timeInfo ? m_timeInfo.data() : m_ownTimeInfo.get();
}

void OVTimeBar::setTimeInfo(OVTimeInfo* timeInfo)
{
    m_timeInfo = timeInfo ? timeInfo : m_ownTimeInfo.get();
    update();
}

void OVTimeBar::setFlippedHorizontally(bool flipped)
{
    if (flipped == m_flippedHorizontally)
        return;
    m_flippedHorizontally = flipped;
    relayout();
    setNeedsDisplay(true);
}

void OVTimeBar::setFlippedVertically(bool flipped)
{
    if (flipped == m_flippedVertically)
        return;
    m_flippedVertically = flipped;
    relayout();
    setNeedsDisplay(true);
}

QColor OVTimeBar::displayedColor(const AttributeDictionary& attributes) const
{
    const QColor color = OVTimeBarText::colorOf(attributes).value_or(QColor(Qt::black));
    if (m_changeColorsIfNecessary && m_backgroundColor &&
        !OVViewDrawing::isContrastReadable(color, *m_backgroundColor))
        return OVViewDrawing::inverseColor(*m_backgroundColor);
    return color;
}

void OVTimeBar::applyAttributes()
{
    auto adjusted = [this](const AttributeDictionary& attributes) {
        AttributeDictionary result = attributes;
        if (OVTimeBarText::colorOf(attributes))
            result.insert(kForegroundColorAttributeName, OVTimeBarText::color(displayedColor(attributes)));
        return result;
    };
    const AttributeDictionary time = adjusted(m_timeAttributes);
    const AttributeDictionary title = adjusted(m_titleAttributes);
    for (Part part : {kClockTime, kElapsedTime, kRemainingTime, kClockSample, kTimerSample})
        m_components[part].setStringAttributes(time);
    for (Part part : {kClockTitle, kElapsedTitle, kRemainingTitle})
        m_components[part].setStringAttributes(title);
    relayout();
    setNeedsDisplay(true);
}

void OVTimeBar::updateComponentVisibility()
{
    m_components[kClockTime].setVisible(m_showsClock);
    m_components[kClockTitle].setVisible(m_showsClock);
    m_components[kElapsedTime].setVisible(m_timerType == kTimerElapsed);
    m_components[kElapsedTitle].setVisible(m_timerType == kTimerElapsed);
    m_components[kRemainingTime].setVisible(m_timerType == kTimerRemaining);
    m_components[kRemainingTitle].setVisible(m_timerType == kTimerRemaining);
}

double OVTimeBar::height() const
{
    const std::optional<Font> timeFont = OVTimeBarText::fontOf(m_timeAttributes);
    const std::optional<Font> titleFont = OVTimeBarText::fontOf(m_titleAttributes);
    if (!timeFont || !titleFont)
        return -1;
    const auto& patterns = OVTimeFormatter::sharedTimeFormatter().localePatterns();
    static const QString timeSample = QStringLiteral("0123456789:") + patterns.amSymbol + patterns.pmSymbol;
    static const QString titleSample = QStringLiteral("%1%2").arg(
        localized("time-bar-elapsed", "Elapsed"), localized("time-bar-remaining", "Remaining"));
    return std::ceil(OVTimeBarText::boundingHeight(timeSample, *timeFont) +
                     OVTimeBarText::boundingHeight(titleSample, *titleFont));
}

OVTimeBar::Columns OVTimeBar::columnsFor(double width, double clockWidth, double timerWidth, bool showsClock,
                                         bool showsTimer)
{
    Columns columns;
    columns.clockShown = showsClock;
    columns.timerShown = showsTimer;
    columns.contentWidth = (showsClock ? clockWidth : 0.0) + (showsTimer ? timerWidth : 0.0);
    if (!showsClock || !showsTimer)
        return columns;
    columns.gap = std::clamp((width - (clockWidth + timerWidth)) / 3.0, kMinimumGap, kMaximumGap);
    columns.contentWidth += columns.gap;
    // Too narrow for both: the clock stays.
    if (width < clockWidth + timerWidth + kMinimumGap) {
        columns.timerShown = false;
        columns.gap = 0;
        columns.contentWidth = clockWidth;
    }
    return columns;
}

void OVTimeBar::relayout()
{
    const Size size = bounds().size;
    const double width = size.width;
    const OVTimeBarStringComponent& clockTime = m_components[kClockTime];
    const OVTimeBarStringComponent& clockTitle = m_components[kClockTitle];
    const OVTimeBarStringComponent& timerTime = m_components[timerTimePart()];
    const OVTimeBarStringComponent& timerTitle = m_components[timerTitlePart()];
    const double clockWidth = m_showsClock ? m_components[kClockSample].location().size.width : 0.0;
    const double clockHeight = clockTime.location().size.height + clockTitle.location().size.height;
    const double timerWidth = m_showsTimer ? m_components[kTimerSample].location().size.width : 0.0;
    const Columns columns = columnsFor(width, clockWidth, timerWidth, m_showsClock, m_showsTimer);
    m_clockShown = columns.clockShown;
    m_timerShown = columns.timerShown;
    const double contentWidth = columns.contentWidth;
    const double gap = columns.gap;
    const double contentHeight =
        m_showsClock ? clockHeight : timerTime.location().size.height + timerTitle.location().size.height;
    const double x0 = (width - contentWidth) * 0.5;
    const double y0 = (size.height - contentHeight) * 0.5;
    auto place = [this, y0](Part time, Part title, double columnX, double columnWidth) {
        OVTimeBarStringComponent& timeComponent = m_components[time];
        OVTimeBarStringComponent& titleComponent = m_components[title];
        const Size titleSize = titleComponent.location().size;
        const Size timeSize = timeComponent.location().size;
        titleComponent.setLocationOrigin({columnX + (columnWidth - titleSize.width) * 0.5, y0});
        timeComponent.setLocationOrigin(
            {columnX + (columnWidth - timeSize.width) * 0.5, y0 + titleSize.height});
    };
    place(kClockTime, kClockTitle, x0, clockWidth);
    const double timerX = x0 + clockWidth + gap;
    place(kElapsedTime, kElapsedTitle, timerX, timerWidth);
    place(kRemainingTime, kRemainingTitle, timerX, timerWidth);
}

void OVTimeBar::frameDidChange(const Size& oldSize)
{
    View::frameDidChange(oldSize);
    relayout();
}

void OVTimeBar::update()
{
    auto shownRect = [this](Part time, Part title) {
        return m_components[time].location().united(m_components[title].location());
    };
    const Rect oldClock = shownRect(kClockTime, kClockTitle);
    const Rect oldTimer = shownRect(timerTimePart(), timerTitlePart());
    const QString oldClockString = m_components[kClockTime].string();
    const QString oldTimerString = m_components[timerTimePart()].string();
    m_components[kClockTime].setString(timeInfo()->clockTimeString());
    m_components[kElapsedTime].setString(timeInfo()->elapsedTimeString());
    m_components[kRemainingTime].setString(timeInfo()->remainingTimeString());
    relayout();
    if (m_clockShown && oldClockString != m_components[kClockTime].string())
        setNeedsDisplayInRect(mirrored(oldClock.united(shownRect(kClockTime, kClockTitle))));
    if (m_timerShown && oldTimerString != m_components[timerTimePart()].string())
        setNeedsDisplayInRect(mirrored(oldTimer.united(shownRect(timerTimePart(), timerTitlePart()))));
}

Rect OVTimeBar::mirrored(const Rect& rect) const
{
    const Rect b = bounds();
    Rect result = rect;
    if (m_flippedHorizontally)
        result.origin.x = b.minX() + b.maxX() - rect.maxX();
    if (m_flippedVertically)
        result.origin.y = b.minY() + b.maxY() - rect.maxY();
    return result;
}

Point OVTimeBar::unmirrored(const Point& point) const
{
    const Rect b = bounds();
    return {m_flippedHorizontally ? b.minX() + b.maxX() - point.x : point.x,
            m_flippedVertically ? b.minY() + b.maxY() - point.y : point.y};
}

Rect OVTimeBar::borderRect() const
{
    const Size size = bounds().size;
    Rect line = Rect{0, size.height - 1, size.width, 1}.integral();
    if (m_position == kPositionTop)
        line.origin.y = 0;
    return mirrored(line);
}

Rect OVTimeBar::displayedLocation(Part part) const
{
    return mirrored(m_components[part].location());
}

void OVTimeBar::drawRect(QPainter& painter, const Rect& dirtyRect)
{
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_backgroundColor)
        painter.fillRect(toQRectF(dirtyRect), *m_backgroundColor);
    if (m_borderColor)
        painter.fillRect(toQRectF(borderRect()), *m_borderColor);
    // Text is drawn in the mirror too: the talent reads it through glass.
    painter.save();
    if (m_flippedHorizontally || m_flippedVertically) {
        const QPointF centre(bounds().midX(), bounds().midY());
        painter.translate(centre);
        painter.scale(m_flippedHorizontally ? -1 : 1, m_flippedVertically ? -1 : 1);
        painter.translate(-centre);
    }
    auto draw = [this, &painter](Part part) {
        const OVTimeBarStringComponent& component = m_components[part];
        OVTimeBarText::drawText(painter, component.location(), component.string(), component.attributes());
    };
    if (m_clockShown) {
        draw(kClockTime);
        draw(kClockTitle);
    }
    if (m_timerShown) {
        draw(timerTimePart());
        draw(timerTitlePart());
    }
    painter.restore();
}

void OVTimeBar::mouseDown(Event& event)
{
    if (!m_enabled || !m_timerShown)
        return;
    const Point point = unmirrored(convertPointFromView(event.locationInWindow, nullptr));
    const Rect timer =
        m_components[timerTimePart()].location().united(m_components[timerTitlePart()].location());
    if (!timer.contains(point))
        return;
    if (m_timerType == kTimerRemaining)
        setTimerType(kTimerElapsed);
    else if (event.modifierFlags & kOptionKeyMask)
        _resetElapsedTimer();
    else
        setTimerType(kTimerRemaining);
}

void OVTimeBar::_resetElapsedTimer()
{
    timeInfo()->resetElapsedTime();
    update();
    Application::shared().sendAction(QStringLiteral("resetElapsedTimer:"), nullptr,
                                     QVariant::fromValue<Responder*>(this));
}

void OVTimeBar::_prepareActionResponder(int tag)
{
    OVTimeBarActionResponder* responder = timeBarActionResponder();
    if (!responder || (tag != kTimeAttributesAction && tag != kTitleAttributesAction))
        return;
    actionableBar() = this;
    responder->prepareForTimebar(this, tag,
                                 tag == kTimeAttributesAction ? m_timeAttributes : m_titleAttributes);
}

void OVTimeBar::performAttributesAction(int action, const std::optional<Font>& font,
                                        const std::optional<Color>& color)
{
    if (action != kTimeAttributesAction && action != kTitleAttributesAction)
        return;
    const AttributeDictionary& current =
        action == kTimeAttributesAction ? m_timeAttributes : m_titleAttributes;
    AttributeDictionary updated = current;
    // A panel that sends only one of the two must not clear the other.
    if (font)
        updated.insert(kFontAttributeName, *font);
    if (color)
        updated.insert(kForegroundColorAttributeName, *color);
    if (updated == current)
        return;
    if (action == kTimeAttributesAction)
        setTimeAttributes(updated);
    else
        setTitleAttributes(updated);
}

std::unique_ptr<QMenu> OVTimeBar::menuForEvent(const Event& event)
{
    if (!m_enabled)
        return nullptr;
    if (!OVContextualMenu::isContextualClick(event))
        return nullptr;
    std::unique_ptr<QMenu> menu = OVContextualMenu::titledMenu(contextualMenuTitle());
    auto addItem = [&menu](const QString& title, int tag, bool checked, std::function<void()> action) {
        QAction* item = menu->addAction(title);
        item->setData(tag);
        if (checked) {
            item->setCheckable(true);
            item->setChecked(true);
        }
        QObject::connect(item, &QAction::triggered, std::move(action));
        return item;
    };
    addItem(m_components[kClockTitle].string(), 0, m_showsClock && !m_showsTimer, [this] {
        setShowsClock(true);
        setShowsTimer(false);
    });
    addItem(localized("time-bar-timer", "Timer"), 1, !m_showsClock && m_showsTimer, [this] {
        setShowsClock(false);
        setShowsTimer(true);
    });
    addItem(localized("time-bar-clock-and-timer", "Clock and Timer"), 2, m_showsClock && m_showsTimer,
            [this] {
                setShowsClock(true);
                setShowsTimer(true);
            });
    menu->addSeparator();
    const bool edit = !m_core || m_core->isModeEdit();
    if (edit) {
        addItem(localized("time-bar-position-on-top", "Position on Top"), kPositionTop,
                m_position == kPositionTop, [this] { setPosition(kPositionTop); });
        addItem(localized("time-bar-position-on-bottom", "Position on Bottom"), kPositionBottom,
                m_position == kPositionBottom, [this] { setPosition(kPositionBottom); });
        menu->addSeparator();
    }
    if (edit && timeBarActionResponder()) {
        addItem(localized("time-bar-set-time-font-and-color", "Set Time Font and Color"),
                kTimeAttributesAction, false, [this] { _prepareActionResponder(kTimeAttributesAction); });
        addItem(localized("time-bar-set-title-font-and-color", "Set Title Font and Color"),
                kTitleAttributesAction, false, [this] { _prepareActionResponder(kTitleAttributesAction); });
        OVContextualMenu::addNote(
            *menu, localized("time-bar-note-contrast", "The color inverts if its contrast is too low."));
        menu->addSeparator();
    }
    OVTimeFormatter& formatter = OVTimeFormatter::sharedTimeFormatter();
    addItem(localized("time-bar-use-24-hour-clock", "Use 24 Hour Clock"), -1, formatter.uses24HourClock(),
            [this, &formatter] {
                formatter.setUses24HourClock(!formatter.uses24HourClock());
                update();
            });
    if (m_timerShown && m_timerType == kTimerElapsed) {
        menu->addSeparator();
        addItem(localized("time-bar-reset-elapsed-timer", "Reset Elapsed Timer"), -1, false,
                [this] { _resetElapsedTimer(); });
    }
    if (!globalSynchronizedPropertyChangesEnabled()) {
        menu->addSeparator();
        addItem(localized("time-bar-use-timer-as-default", "Use Timer as Default"), kSaveAsDefaultTag, false,
                [this] { setPropertiesAsDefaults(properties()); });
    }
    return menu;
}

void OVTimeBar::rightMouseDown(Event& event)
{
    OVContextualMenu::popUp(menuForEvent(event));
}
