#include "window/OVDocumentWindowToolbar.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ToolbarCustomization.h"
#include "platform/appkit/ToolbarItem.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVTimestamp.h"
#include "prompting/OVCore.h"
#include "prompting/OVTimeInfo.h"
#include "text/OVBookmarkController.h"
#include "window/OVBookmarkSegmentedControl.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVFixedWidthToolbarItem.h"
#include "window/OVSlider.h"
#include "window/OVTimerTextField.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>
#include <vector>

namespace {

const QString kSpeedSelector = QStringLiteral("updateSpeedControl");
const QColor kSystemRed(255, 59, 48);
// The slider moves in tenths of the speed unit, its finest step.
constexpr double kSliderScale = 10.0;

QString text(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromUtf8(key), QString::fromUtf8(english));
}

bool boolDefault(const QString& key)
{
    return UserDefaults::shared().boolForKey(key);
}

// The toolbar's pictures are drawn here; a desktop theme's icon of the same meaning is preferred.
QIcon drawnIcon(const QString& name)
{
    static const QMap<QString, QString> themed{
        {QStringLiteral("Start"), QStringLiteral("media-playback-start")},
        {QStringLiteral("Pause"), QStringLiteral("media-playback-pause")},
        {QStringLiteral("Print"), QStringLiteral("document-print")},
        {QStringLiteral("Fonts"), QStringLiteral("preferences-desktop-font")},
        {QStringLiteral("Colors"), QStringLiteral("preferences-desktop-color")},
        {QStringLiteral("ZoomOut"), QStringLiteral("zoom-out")},
        {QStringLiteral("ZoomDefault"), QStringLiteral("zoom-original")},
    };
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(60, 60, 60);
    painter.setPen(QPen(ink, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (name == QLatin1String("Start")) {
        QPainterPath path;
        path.moveTo(10, 6);
        path.lineTo(26, 16);
        path.lineTo(10, 26);
        path.closeSubpath();
        painter.fillPath(path, ink);
    } else if (name == QLatin1String("Pause")) {
        painter.fillRect(QRectF(8, 6, 6, 20), ink);
        painter.fillRect(QRectF(18, 6, 6, 20), ink);
    } else if (name == QLatin1String("PromptMode")) {
        // Lines of text running up past a reading arrow.
        for (int y = 8; y <= 24; y += 6)
            painter.drawLine(QPointF(12, y), QPointF(27, y));
        QPainterPath arrow;
        arrow.moveTo(3, 11);
        arrow.lineTo(9, 16);
        arrow.lineTo(3, 21);
        arrow.closeSubpath();
        painter.fillPath(arrow, ink);
    } else if (name == QLatin1String("EditMode")) {
        painter.drawLine(QPointF(8, 24), QPointF(24, 8));
        painter.drawLine(QPointF(6, 26), QPointF(10, 25));
        painter.drawLine(QPointF(4, 28), QPointF(28, 28));
    } else if (name == QLatin1String("BlankingEnable")) {
        painter.drawRoundedRect(QRectF(4, 7, 24, 16), 2, 2);
        painter.fillRect(QRectF(7, 10, 18, 10), ink);
        painter.drawLine(QPointF(12, 27), QPointF(20, 27));
    } else if (name == QLatin1String("BlankingDisable")) {
        painter.drawRoundedRect(QRectF(4, 7, 24, 16), 2, 2);
        painter.drawLine(QPointF(8, 12), QPointF(24, 12));
        painter.drawLine(QPointF(8, 17), QPointF(20, 17));
        painter.drawLine(QPointF(12, 27), QPointF(20, 27));
    } else if (name == QLatin1String("ZoomOut") || name == QLatin1String("ZoomDefault")) {
        painter.drawEllipse(QRectF(5, 5, 16, 16));
        painter.drawLine(QPointF(19, 19), QPointF(27, 27));
        painter.drawLine(QPointF(9, 13), QPointF(17, 13));
        if (name == QLatin1String("ZoomDefault"))
            painter.drawLine(QPointF(13, 9), QPointF(13, 17));
    } else if (name == QLatin1String("Preview")) {
        painter.drawRoundedRect(QRectF(3, 6, 26, 18), 2, 2);
        painter.drawRect(QRectF(17, 14, 9, 7));
    } else if (name == QLatin1String("Colors")) {
        const QColor colors[] = {QColor(230, 70, 60), QColor(60, 170, 80), QColor(60, 110, 220)};
        const QPointF centres[] = {{16, 11}, {11, 20}, {21, 20}};
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            painter.setBrush(colors[i]);
            painter.drawEllipse(centres[i], 7, 7);
        }
    } else if (name == QLatin1String("Fonts")) {
        QFont font = painter.font();
        font.setPixelSize(22);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("Aa"));
    } else if (name == QLatin1String("Print")) {
        painter.drawRect(QRectF(9, 4, 14, 8));
        painter.drawRoundedRect(QRectF(4, 12, 24, 10), 2, 2);
        painter.drawRect(QRectF(9, 18, 14, 10));
    } else if (name == QLatin1String("Reset")) {
        painter.drawArc(QRectF(6, 6, 20, 20), 90 * 16, 300 * 16);
        painter.drawLine(QPointF(16, 6), QPointF(20, 3));
        painter.drawLine(QPointF(16, 6), QPointF(20, 9));
    } else {
        // The program's own mark: a page with a reading arrow.
        painter.drawRoundedRect(QRectF(7, 3, 18, 26), 2, 2);
        painter.drawLine(QPointF(11, 16), QPointF(21, 16));
    }
    painter.end();
    const QString theme = themed.value(name);
    return theme.isEmpty() ? QIcon(pixmap) : QIcon::fromTheme(theme, QIcon(pixmap));
}

// A view item: its controls above a small caption, the way a button item shows its label.
struct CaptionedView {
    std::unique_ptr<QWidget> widget;
    QHBoxLayout* row = nullptr;
    QLabel* caption = nullptr;
};

// What the style leaves below a button's label.
constexpr int kCaptionBottomMargin = 3;

CaptionedView captionedView(const QString& caption)
{
    CaptionedView view;
    view.widget = std::make_unique<QWidget>();
    // As wide as its controls and no wider: a wide window's spare room goes to the flexible space,
    // never into a view item, which would leave its read-out stranded in the middle of the bar.
    view.widget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    // The controls stand where the buttons' icons do and the caption at the foot, in the buttons'
    // own font, so it lines up with their labels.
    auto* column = new QVBoxLayout(view.widget.get());
    column->setContentsMargins(2, 0, 2, kCaptionBottomMargin);
    column->setSpacing(0);
    view.row = new QHBoxLayout;
    view.row->setSpacing(2);
    column->addStretch(1);
    column->addLayout(view.row);
    column->addStretch(1);
    view.caption = new QLabel(caption);
    view.caption->setObjectName(QStringLiteral("caption"));
    view.caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    column->addWidget(view.caption);
    return view;
}

void setCaption(ToolbarItem& item, const QString& label)
{
    if (item.label() != label)
        item.setLabel(label);
    if (QWidget* view = item.view()) {
        if (auto* caption = view->findChild<QLabel*>(QStringLiteral("caption"));
            caption && caption->text() != label)
            caption->setText(label);
    }
}

// The wheel over the slider steps the speed by the user's increment per notch, as the hot keys do.
class SpeedSlider final : public OVSlider {
public:
    explicit SpeedSlider(OVDocumentWindowController& controller)
        : OVSlider(Qt::Horizontal), m_controller(controller)
    {
    }

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        const double notches = event->angleDelta().y() / 120.0;
        if (notches == 0) {
            event->ignore();
            return;
        }
        const double multiplier = UserDefaults::shared().doubleForKey(QStringLiteral("speedIncrement"));
        m_controller.setPrompterSpeed(m_controller.prompterSpeed() +
                                      notches * (multiplier > 0 ? multiplier : 1));
        event->accept();
    }

private:
    OVDocumentWindowController& m_controller;
};

// The bookmark control: previous, next, the bookmark menu and add, one segment each, tagged 0 to 3;
// the window controller decides what each does and when it is enabled.
class BookmarkActionsItem final : public ToolbarItem {
public:
    BookmarkActionsItem(const QString& identifier, OVDocumentWindowController& controller)
        : ToolbarItem(identifier), m_controller(controller)
    {
    }
    void setControl(OVBookmarkSegmentedControl* control) { m_control = control; }
    void validate() override
    {
        if (!m_control)
            return;
        for (int tag = 0; tag < OVBookmarkSegmentedControl::kSegmentCount; ++tag)
            m_control->setSegmentEnabled(tag, m_controller.isBookmarkSegmentEnabled(tag));
    }

private:
    OVDocumentWindowController& m_controller;
    QPointer<OVBookmarkSegmentedControl> m_control;
};

} // namespace

OVDocumentWindowToolbar::OVDocumentWindowToolbar(OVDocumentWindowController& controller)
    : m_controller(controller), m_toolbar(std::make_unique<Toolbar>(OVDocumentWindowToolbarIdentifier))
{
    m_toolbar->setAllowsUserCustomization(true);
    m_toolbar->setAutosavesConfiguration(true);
    m_toolbar->setDelegate(this);
    QToolBar* bar = m_toolbar->qToolBar();
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(bar, &QWidget::customContextMenuRequested, bar, [this, bar](const QPoint& at) {
        // Offered only while editing: the prompter running in the window keeps its toolbar.
        if (!canRunCustomization())
            return;
        QMenu menu;
        menu.addAction(text("toolbar-customize", "Customize Toolbar…"), [this] { runCustomization(); });
        menu.exec(bar->mapToGlobal(at));
    });
}

bool OVDocumentWindowToolbar::canRunCustomization() const
{
    const OVCore& core = m_controller.prompterCore();
    return core.isModeEdit() && !core.isModeChanging();
}

bool OVDocumentWindowToolbar::runCustomization()
{
    if (!canRunCustomization())
        return false;
    QWidget* parent = m_controller.isWindowLoaded() ? m_controller.window()->hostWidget() : nullptr;
    if (!ToolbarCustomization::run(*m_toolbar, parent))
        return false;
    updateAll();
    m_toolbar->validateVisibleItems();
    return true;
}

OVDocumentWindowToolbar::~OVDocumentWindowToolbar()
{
    RunLoop::main().cancelPreviousPerformRequests(this);
    // The items' views and actions call back here: they go first.
    m_toolbar->setChangeHandler({});
    m_toolbar.reset();
}

const QStringList& OVDocumentWindowToolbar::editModeIdentifiers()
{
    static const QStringList identifiers{OVToolbarItemContentZoomIdentifier, kToolbarShowColorsItemIdentifier,
                                         kToolbarShowFontsItemIdentifier, OVToolbarItemPreviewIdentifier,
                                         kToolbarPrintItemIdentifier};
    return identifiers;
}

QStringList OVDocumentWindowToolbar::allowedItemIdentifiers(Toolbar&)
{
    QStringList identifiers{OVToolbarItemStartPauseIdentifier, OVToolbarItemSpeedIdentifier,
                            OVToolbarItemTimerIdentifier, OVToolbarItemBookmarkActionsIdentifier,
                            OVToolbarItemBlankingIdentifier};
    if (boolDefault(QStringLiteral("enableQuickZoom")))
        identifiers << OVToolbarItemContentZoomIdentifier;
    identifiers << OVToolbarItemPreviewIdentifier << OVToolbarItemModesIdentifier
                << kToolbarShowColorsItemIdentifier << kToolbarShowFontsItemIdentifier
                << kToolbarPrintItemIdentifier << kToolbarSpaceItemIdentifier
                << kToolbarFlexibleSpaceItemIdentifier;
    // The placeholder that keeps the toolbar from being empty while its items are rebuilt.
    if (m_controller.prompterCore().isModePrompt() || m_restoringEditModeItems)
        identifiers << OVToolbarItemTempIdentifier;
    return identifiers;
}

QStringList OVDocumentWindowToolbar::defaultItemIdentifiers(Toolbar&)
{
    QStringList identifiers{OVToolbarItemStartPauseIdentifier, OVToolbarItemSpeedIdentifier,
                            OVToolbarItemTimerIdentifier,      OVToolbarItemBookmarkActionsIdentifier,
                            OVToolbarItemBlankingIdentifier,   kToolbarFlexibleSpaceItemIdentifier};
    if (boolDefault(QStringLiteral("enableQuickZoom")))
        identifiers << OVToolbarItemContentZoomIdentifier;
    identifiers << kToolbarShowColorsItemIdentifier << kToolbarShowFontsItemIdentifier
                << OVToolbarItemPreviewIdentifier << kToolbarSpaceItemIdentifier
                << OVToolbarItemModesIdentifier;
    return identifiers;
}

std::unique_ptr<ToolbarItem> OVDocumentWindowToolbar::itemForItemIdentifier(Toolbar& toolbar,
                                                                            const QString& identifier,
                                                                            bool willBeInsertedIntoToolbar)
{
    if (&toolbar != m_toolbar.get())
        return nullptr;
    // An item only shown by name (in the customisation list) gets no controls: the toolbar's own
    // controls stay the ones the window refreshes.
    if (!willBeInsertedIntoToolbar &&
        (identifier == OVToolbarItemSpeedIdentifier || identifier == OVToolbarItemTimerIdentifier ||
         identifier == OVToolbarItemBookmarkActionsIdentifier)) {
        auto named = std::make_unique<ToolbarItem>(identifier);
        named->setPaletteLabel(identifier == OVToolbarItemSpeedIdentifier ? text("speed-speed", "Speed")
                               : identifier == OVToolbarItemTimerIdentifier
                                   ? text("timer-timer", "Timer")
                                   : text("bookmark-bookmarks", "Bookmarks"));
        return named;
    }
    Responder* controller = &m_controller;
    std::unique_ptr<ToolbarItem> made;
    if (identifier == OVToolbarItemStartPauseIdentifier) {
        made = OVFixedWidthToolbarItem::itemWithPossibleLabels(
            identifier, {text("prompter-action-start", "Start"), text("prompter-action-pause", "Pause")});
        made->setTarget(controller);
        made->setAction(QStringLiteral("toggleStatus:"));
        made->setTag(kModeChangingTag);
        made->setVisibilityPriority(1000);
        made->setImage(drawnIcon(QStringLiteral("Start")));
        made->setPaletteLabel(text("prompter-action-start", "Start"));
        updateStartPauseItem(made.get());
    } else if (identifier == OVToolbarItemModesIdentifier) {
        made = OVFixedWidthToolbarItem::itemWithPossibleLabels(
            identifier,
            {text("prompter-mode-prompt-mode", "Prompt Mode"), text("prompter-mode-edit-mode", "Edit Mode")});
        made->setTarget(controller);
        made->setAction(QStringLiteral("toggleMode:"));
        made->setTag(kModeChangingTag);
        made->setVisibilityPriority(1000);
        updateModesItem(made.get());
    } else if (identifier == OVToolbarItemBlankingIdentifier) {
        made = OVFixedWidthToolbarItem::itemWithPossibleLabels(
            identifier, {text("blanking-blank", "Blank"), text("blanking-unblank", "Unblank")});
        made->setTarget(controller);
        made->setAction(QStringLiteral("toggleBlanking:"));
        made->setVisibilityPriority(1000);
        updateBlankingItem(made.get());
        made->validate();
    } else if (identifier == OVToolbarItemContentZoomIdentifier) {
        // Without quick zoom switched on there is no such item, whatever a saved toolbar lists.
        if (!boolDefault(QStringLiteral("enableQuickZoom")))
            return nullptr;
        made = OVFixedWidthToolbarItem::itemWithPossibleLabels(
            identifier, {text("zoom-default-zoom", "Default Zoom"), text("zoom-quick-zoom", "Quick Zoom")});
        made->setTarget(controller);
        made->setAction(QStringLiteral("toggleQuickZoomContent:"));
        updateContentZoomItem(made.get());
    } else if (identifier == OVToolbarItemPreviewIdentifier) {
        made = std::make_unique<ToolbarItem>(identifier);
        made->setLabel(text("preview-preview", "Preview"));
        made->setAction(QStringLiteral("togglePreviewWindow:"));
        made->setImage(drawnIcon(QStringLiteral("Preview")));
    } else if (identifier == OVToolbarItemTempIdentifier) {
        made = std::make_unique<ToolbarItem>(identifier);
        made->setLabel(QStringLiteral("Temp"));
        made->setAutovalidates(false);
        const QIcon application = QApplication::windowIcon();
        made->setImage(application.isNull() ? drawnIcon(QString()) : application);
    } else if (identifier == OVToolbarItemPlaylistIdentifier ||
               identifier == OVToolbarItemFormatBarIdentifier) {
        made = std::make_unique<ToolbarItem>(identifier);
    } else if (identifier == OVToolbarItemSpeedIdentifier) {
        made = std::make_unique<ToolbarItem>(identifier);
        made->setLabel(text("speed-speed", "Speed"));
        made->setVisibilityPriority(1000);
        made->setAutovalidates(false);
        CaptionedView view = captionedView(made->label());
        auto* slider = new SpeedSlider(m_controller);
        slider->setObjectName(QStringLiteral("speedSlider"));
        slider->setFixedWidth(120);
        slider->setSingleStep(1);
        slider->setPageStep(10);
        auto* readout = new QLabel;
        readout->setObjectName(QStringLiteral("speedReadout"));
        QFont digits = readout->font();
        digits.setStyleHint(QFont::Monospace);
        digits.setFamily(QStringLiteral("monospace"));
        readout->setFont(digits);
        readout->setMinimumWidth(readout->fontMetrics().horizontalAdvance(QStringLiteral("-00.0")) + 4);
        readout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // Drawn in the toolbar's text colour, the one its buttons' labels have, wherever it sits.
        readout->setForegroundRole(QPalette::ButtonText);
        view.row->addWidget(slider);
        view.row->addWidget(readout);
        m_speedSlider = slider;
        m_speedText = readout;
        QObject::connect(slider, &QSlider::valueChanged, slider,
                         [this](int position) { sliderMoved(position); });
        made->setView(std::move(view.widget));
        setSpeedSliderRange(m_controller.minSpeedUIValue(), m_controller.maxSpeedUIValue());
        m_speedLastRefresh = 0;
    } else if (identifier == OVToolbarItemTimerIdentifier) {
        made = std::make_unique<ToolbarItem>(identifier);
        made->setPaletteLabel(text("timer-timer", "Timer"));
        made->setAutovalidates(false);
        CaptionedView view = captionedView(QString());
        auto* field = new OVTimerTextField;
        field->setObjectName(QStringLiteral("timerField"));
        QFont digits = field->font();
        digits.setStyleHint(QFont::Monospace);
        digits.setFamily(QStringLiteral("monospace"));
        field->setFont(digits);
        field->setFixedWidth(kElapsedTimerFieldWidth);
        auto* reset = new QToolButton;
        reset->setObjectName(QStringLiteral("timerReset"));
        reset->setAutoRaise(true);
        reset->setIcon(drawnIcon(QStringLiteral("Reset")));
        reset->setToolTip(text("timer-reset-timer", "Reset Timer"));
        reset->setFixedSize(22, 22);
        view.row->addWidget(field);
        view.row->addWidget(reset);
        m_timerField = field;
        m_timerReset = reset;
        const auto resetTimer = [this] {
            Application::shared().sendAction(QStringLiteral("resetElapsedTimer:"), &m_controller, {});
            updateTimeForTimerItem();
        };
        field->setAction([this] { toggleTimerMode(); });
        field->setAlternateAction(resetTimer);
        QObject::connect(reset, &QToolButton::clicked, reset, resetTimer);
        made->setView(std::move(view.widget));
        updateTimerItem(made.get());
    } else if (identifier == OVToolbarItemBookmarkActionsIdentifier) {
        auto bookmarks = std::make_unique<BookmarkActionsItem>(identifier, m_controller);
        bookmarks->setLabel(text("bookmark-bookmarks", "Bookmarks"));
        bookmarks->setAutovalidates(false);
        CaptionedView view = captionedView(bookmarks->label());
        auto* control = new OVBookmarkSegmentedControl;
        control->setObjectName(QStringLiteral("bookmarksControl"));
        const char* names[] = {"previousBookmark", "nextBookmark", "bookmarksMenu", "addBookmark"};
        for (int tag = 0; tag < OVBookmarkSegmentedControl::kSegmentCount; ++tag)
            control->segment(tag)->setObjectName(QString::fromLatin1(names[tag]));
        control->setSegmentHandler([this](int tag) {
            Application::shared().sendAction(QStringLiteral("bookmarksControlPressed:"), &m_controller, tag);
        });
        view.row->addWidget(control);
        m_bookmarksControl = control;
        bookmarks->setControl(control);
        bookmarks->setView(std::move(view.widget));
        bookmarks->validate();
        made = std::move(bookmarks);
    }
    if (made)
        attachMenuForm(*made);
    return made;
}

void OVDocumentWindowToolbar::toolbarWillAddItem(Toolbar&, ToolbarItem& item)
{
    const QString& identifier = item.itemIdentifier();
    if (!item.image().isNull())
        return;
    if (identifier == kToolbarShowColorsItemIdentifier)
        item.setImage(drawnIcon(QStringLiteral("Colors")));
    else if (identifier == kToolbarShowFontsItemIdentifier)
        item.setImage(drawnIcon(QStringLiteral("Fonts")));
    else if (identifier == kToolbarPrintItemIdentifier)
        item.setImage(drawnIcon(QStringLiteral("Print")));
}

void OVDocumentWindowToolbar::attachMenuForm(ToolbarItem& item)
{
    // The view items' menu forms, for the overflow menu of a window too narrow to show them.
    const QString& identifier = item.itemIdentifier();
    auto entry = [](const QString& title, const char* action, Responder* target) {
        auto menuItem = std::make_unique<MenuItem>(title, QString::fromLatin1(action));
        menuItem->setTarget(target);
        return menuItem;
    };
    if (identifier == OVToolbarItemSpeedIdentifier) {
        auto form = std::make_unique<MenuItem>(text("speed-speed", "Speed"));
        auto submenu = std::make_unique<Menu>(form->title());
        submenu->addItem(
            entry(text("speed-increase-speed", "Increase Speed"), "increaseSpeedWithMaxCap:", &m_controller));
        submenu->addItem(
            entry(text("speed-decrease-speed", "Decrease Speed"), "decreaseSpeedWithMinCap:", &m_controller));
        form->setSubmenu(std::move(submenu));
        item.setMenuFormRepresentation(std::move(form));
    } else if (identifier == OVToolbarItemTimerIdentifier) {
        item.setMenuFormRepresentation(
            entry(text("timer-reset-timer", "Reset Timer"), "resetElapsedTimer:", &m_controller));
    } else if (identifier == OVToolbarItemBookmarkActionsIdentifier) {
        auto form = std::make_unique<MenuItem>(text("bookmark-bookmarks", "Bookmarks"));
        auto submenu = std::make_unique<Menu>(form->title());
        submenu->addItem(
            entry(OVBookmarkController::localizedPreviousBookmarkTitle(), "previousBookmark:", nullptr));
        submenu->addItem(entry(OVBookmarkController::localizedNextBookmarkTitle(), "nextBookmark:", nullptr));
        form->setSubmenu(std::move(submenu));
        item.setMenuFormRepresentation(std::move(form));
    }
}

ToolbarItem* OVDocumentWindowToolbar::item(ToolbarItem* given, const QString& identifier) const
{
    return given ? given : m_toolbar->itemWithIdentifier(identifier);
}

void OVDocumentWindowToolbar::updateStartPauseItem(ToolbarItem* given)
{
    ToolbarItem* startPause = item(given, OVToolbarItemStartPauseIdentifier);
    if (!startPause)
        return;
    const OVCore& core = m_controller.prompterCore();
    unsigned status = core.isStatusChanging() ? core.willBecomeStatus() : core.status();
    // Another window's prompter is not started by this one's mode change.
    if (!m_controller.isCoreController() && core.isModeChanging() && core.isModePrompt())
        status = OVCore::kStatusPaused;
    if (status == OVCore::kStatusPaused || status == OVCore::kStatusPausedHard) {
        startPause->setLabel(text("prompter-action-start", "Start"));
        startPause->setImage(drawnIcon(QStringLiteral("Start")));
    } else if (status == OVCore::kStatusStarted) {
        startPause->setLabel(text("prompter-action-pause", "Pause"));
        startPause->setImage(drawnIcon(QStringLiteral("Pause")));
    } else {
        startPause->setLabel(QString());
    }
}

void OVDocumentWindowToolbar::updateModesItem(ToolbarItem* given)
{
    ToolbarItem* modes = item(given, OVToolbarItemModesIdentifier);
    if (!modes)
        return;
    const OVCore& core = m_controller.prompterCore();
    const unsigned mode = core.isModeChanging() ? core.willBecomeMode() : core.mode();
    if (mode == OVCore::kModeEdit) {
        modes->setLabel(text("prompter-mode-prompt-mode", "Prompt Mode"));
        modes->setImage(drawnIcon(QStringLiteral("PromptMode")));
    } else if (mode == OVCore::kModePrompt) {
        modes->setLabel(text("prompter-mode-edit-mode", "Edit Mode"));
        modes->setImage(drawnIcon(QStringLiteral("EditMode")));
    } else {
        modes->setLabel(QString());
    }
    modes->setPaletteLabel(modes->label());
}

void OVDocumentWindowToolbar::updateBlankingItem(ToolbarItem* given)
{
    ToolbarItem* blanking = item(given, OVToolbarItemBlankingIdentifier);
    if (!blanking)
        return;
    if (m_controller.prompterCore().isBlanking()) {
        blanking->setLabel(text("blanking-unblank", "Unblank"));
        blanking->setImage(drawnIcon(QStringLiteral("BlankingDisable")));
    } else {
        blanking->setLabel(text("blanking-blank", "Blank"));
        blanking->setImage(drawnIcon(QStringLiteral("BlankingEnable")));
    }
}

void OVDocumentWindowToolbar::updateContentZoomItem(ToolbarItem* given)
{
    ToolbarItem* zoom = item(given, OVToolbarItemContentZoomIdentifier);
    if (!zoom)
        return;
    if (m_controller.isContentZoomed()) {
        zoom->setLabel(text("zoom-default-zoom", "Default Zoom"));
        zoom->setImage(drawnIcon(QStringLiteral("ZoomDefault")));
    } else {
        zoom->setLabel(text("zoom-quick-zoom", "Quick Zoom"));
        zoom->setImage(drawnIcon(QStringLiteral("ZoomOut")));
    }
}

void OVDocumentWindowToolbar::updateTimerItem(ToolbarItem* given)
{
    ToolbarItem* timer = item(given, OVToolbarItemTimerIdentifier);
    if (!timer)
        return;
    const bool remaining = m_timerMode == 1;
    setCaption(*timer, remaining ? text("timer-remaining", "Remaining") : text("timer-elapsed", "Elapsed"));
    if (m_timerReset)
        m_timerReset->setVisible(!remaining);
    updateTimeForTimerItem();
}

void OVDocumentWindowToolbar::updateTimeForTimerItem()
{
    if (!m_timerField || !m_toolbar->itemWithIdentifier(OVToolbarItemTimerIdentifier))
        return;
    OVTimeInfo* info = m_controller.timeInfo();
    if (info) {
        const QString time = m_timerMode == 1 ? info->remainingTimeString() : info->elapsedTimeString();
        if (m_timerField->text() != time)
            m_timerField->setText(time);
    }
    // Without the reset button the field runs to the item's right edge, where the button was.
    const int width = m_timerMode == 1 && m_timerReset ? kElapsedTimerFieldWidth + 2 + m_timerReset->width()
                                                       : kElapsedTimerFieldWidth;
    if (m_timerField->width() != width)
        m_timerField->setFixedWidth(width);
}

void OVDocumentWindowToolbar::toggleTimerMode()
{
    m_timerMode = m_timerMode == 0 ? 1 : 0;
    updateTimerItem();
}

void OVDocumentWindowToolbar::updateAll()
{
    updateStartPauseItem();
    updateModesItem();
    updateBlankingItem();
    updateContentZoomItem();
    updateTimerItem();
    updateSpeedItem();
}

// Speed.

void OVDocumentWindowToolbar::setSpeedSliderRange(double minimum, double maximum)
{
    if (!m_speedSlider)
        return;
    m_settingSlider = true;
    m_speedSlider->setRange(int(std::lround(minimum * kSliderScale)),
                            int(std::lround(maximum * kSliderScale)));
    m_settingSlider = false;
    updateSpeedItem();
}

void OVDocumentWindowToolbar::sliderMoved(int position)
{
    if (m_settingSlider)
        return;
    m_controller.setPrompterSpeed(position / kSliderScale);
}

void OVDocumentWindowToolbar::updateSpeedControl()
{
    if (!m_speedSlider)
        return;
    const double now = HVTimestamp::seconds();
    if (kSpeedThrottleInterval != 0 && m_speedLastRefresh != 0 &&
        now - m_speedLastRefresh < kSpeedThrottleInterval) {
        RunLoop::main().cancelPreviousPerformRequests(this, kSpeedSelector);
        RunLoop::main().performAfterDelay(kSpeedThrottleInterval, this, kSpeedSelector,
                                          [this] { updateSpeedControl(); });
        return;
    }
    updateSpeedItem();
    m_speedLastRefresh = now;
    m_controller.setSpeedControlNeedsUpdate(false);
}

QString OVDocumentWindowToolbar::speedString(double speed) const
{
    // A speed that rounds to nothing shows as nothing, never as a negative zero.
    if ((speed > -0.05 && speed < 0) || speed == 0)
        speed = 0;
    return QString::number(speed, 'f', 1);
}

void OVDocumentWindowToolbar::updateSpeedItem()
{
    if (!m_speedText || !m_speedSlider || !m_toolbar->itemWithIdentifier(OVToolbarItemSpeedIdentifier))
        return;
    const double speed = m_controller.prompterSpeed();
    if (!std::isfinite(speed))
        return;
    ++m_speedReadoutUpdates;
    const QString shown = speedString(speed);
    if (m_speedText->text() != shown)
        m_speedText->setText(shown);
    // The role the label paints its text with, which is not the window text.
    const QPalette::ColorRole role = m_speedText->foregroundRole();
    const QColor color = speed <= -0.05 ? kSystemRed : QApplication::palette(m_speedText.data()).color(role);
    if (m_speedText->palette().color(role) != color) {
        QPalette palette = m_speedText->palette();
        palette.setColor(role, color);
        m_speedText->setPalette(palette);
    }
    const int position = int(std::lround(speed * kSliderScale));
    if (m_speedSlider->value() != position) {
        m_settingSlider = true;
        m_speedSlider->setValue(position);
        m_settingSlider = false;
    }
}

// Edit-mode items around a mode change.

void OVDocumentWindowToolbar::modeWillChange(unsigned mode)
{
    if (mode == OVCore::kModePrompt) {
        enableEditModeItems(false);
        if (boolDefault(QStringLiteral("hideEditModeToolbarItemsInPromptMode")))
            removeEditModeItems();
        // The toolbar as the user arranged it is kept, not the one shown while prompting.
        m_toolbar->setAutosavingSuspended(true);
    } else {
        restoreEditModeItems();
        enableEditModeItems(true);
        m_toolbar->setAutosavingSuspended(false);
    }
    updateModesItem();
    updateStartPauseItem();
}

void OVDocumentWindowToolbar::modeDidChange(unsigned mode)
{
    Q_UNUSED(mode);
    updateModesItem();
    updateStartPauseItem();
    m_toolbar->validateVisibleItems();
}

void OVDocumentWindowToolbar::enableEditModeItems(bool enable)
{
    if (!enable) {
        for (const QString& identifier : editModeIdentifiers()) {
            ToolbarItem* editItem = m_toolbar->itemWithIdentifier(identifier);
            if (!editItem || editItem->action().isEmpty())
                continue;
            m_disabledItems.insert(identifier, editItem->action());
            editItem->setAction(QString());
            editItem->setEnabled(false);
        }
        return;
    }
    for (auto it = m_disabledItems.begin(); it != m_disabledItems.end(); ++it) {
        if (ToolbarItem* editItem = m_toolbar->itemWithIdentifier(it.key())) {
            editItem->setAction(it.value());
            editItem->setEnabled(true);
        }
    }
    m_disabledItems.clear();
}

void OVDocumentWindowToolbar::removeEditModeItems()
{
    if (!m_editModeIdentifiers.isEmpty())
        return;
    m_editModeIdentifiers = m_toolbar->itemIdentifiers();
    m_toolbar->setAutosavingSuspended(true);
    const QStringList identifiers = m_toolbar->itemIdentifiers();
    for (int i = int(identifiers.size()) - 1; i >= 0; --i) {
        if (editModeIdentifiers().contains(identifiers.at(i)))
            m_toolbar->removeItemAtIndex(i);
    }
}

void OVDocumentWindowToolbar::restoreEditModeItems()
{
    // Nothing saved (the setting came on while prompting, or nothing was hidden): the toolbar as it
    // is stays; rebuilding it from an empty list would leave it, and its saved configuration, empty.
    if (m_editModeIdentifiers.isEmpty())
        return;
    QWidget* host = m_controller.isWindowLoaded() ? m_controller.window()->hostWidget() : nullptr;
    const bool updates = host && host->updatesEnabled();
    if (host)
        host->setUpdatesEnabled(false);
    m_toolbar->setAutosavingSuspended(true);
    m_restoringEditModeItems = true;
    bool tempInserted = false;
    if (!m_toolbar->items().empty()) {
        tempInserted = m_toolbar->insertItemWithItemIdentifier(OVToolbarItemTempIdentifier, -1);
        const int before = int(m_toolbar->items().size()) - (tempInserted ? 1 : 0);
        for (int i = before - 1; i >= 0; --i)
            m_toolbar->removeItemAtIndex(i);
    }
    for (const QString& identifier : std::as_const(m_editModeIdentifiers))
        m_toolbar->insertItemWithItemIdentifier(identifier, -1);
    if (tempInserted && !m_toolbar->items().empty() &&
        m_toolbar->items().front()->itemIdentifier() == OVToolbarItemTempIdentifier)
        m_toolbar->removeItemAtIndex(0);
    m_restoringEditModeItems = false;
    m_editModeIdentifiers.clear();
    if (host)
        host->setUpdatesEnabled(updates);
    updateAll();
}

OVSlider* OVDocumentWindowToolbar::speedSlider() const
{
    return static_cast<OVSlider*>(m_speedSlider.data());
}

OVTimerTextField* OVDocumentWindowToolbar::timerField() const
{
    return static_cast<OVTimerTextField*>(m_timerField.data());
}

OVBookmarkSegmentedControl* OVDocumentWindowToolbar::bookmarksControl() const
{
    return static_cast<OVBookmarkSegmentedControl*>(m_bookmarksControl.data());
}
