#include "document/OVColorPanelFirstResponderUpdater.h"

#include "document/OVColorPanelAccessoryViewController.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ColorPanel.h"
#include "platform/appkit/Window.h"
#include "platform/textview/TextView.h"
#include "text/OVColorPanelAccessoryViewProtocol.h"
#include "text/OVTextView.h"

#include <QApplication>
#include <QTimer>

namespace {

const QString kCoreDidChangeModeNotification = QStringLiteral("OVCoreDidChangeModeNotification");

// A responder that takes part: it answers the accessory's protocol and takes "changeColor:".
Responder* participating(Responder* responder)
{
    if (!responder || !dynamic_cast<OVColorPanelAccessoryViewProtocol*>(responder))
        return nullptr;
    return responder->respondsToAction(ColorPanel::kChangeColorAction) ? responder : nullptr;
}

bool isPromptMode()
{
    return OVTextView::promptState().prompt;
}

} // namespace

OVColorPanelFirstResponderUpdater& OVColorPanelFirstResponderUpdater::sharedColorPanelFirstResponderUpdater()
{
    // Never destroyed: it holds Qt objects that must not outlive the application object.
    static auto* shared = new OVColorPanelFirstResponderUpdater;
    return *shared;
}

OVColorPanelFirstResponderUpdater::OVColorPanelFirstResponderUpdater() : m_queue(std::make_unique<QObject>())
{
    NotificationCenter& center = NotificationCenter::shared();
    m_modeObservers.emplace_back(
        center, OVColorPanelUpdateAccessoryViewNotification, this,
        [this](const Notification&) { colorPanelUpdateAccessoryViewNotification(); });
    m_modeObservers.emplace_back(center, kCoreDidChangeModeNotification, nullptr,
                                 [this](const Notification&) { coreDidChangeModeNotification(); });
    _updateNotificationObserversForPromptModeState(isPromptMode());
    m_inSetUp = false;
}

OVColorPanelFirstResponderUpdater::~OVColorPanelFirstResponderUpdater() = default;

Responder* OVColorPanelFirstResponderUpdater::firstResponder()
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && ColorPanel::sharedColorPanelExists() && ColorPanel::shared().containsWidget(focus))
        focus = m_lastFocus.data();
    else
        m_lastFocus = focus;
    // A Qt window of the program's own (the settings): the focused widget or the nearest of its
    // parents that takes part.
    if (focus && focus->isVisible() && !Application::shared().windowForHost(focus->window())) {
        for (QWidget* widget = focus; widget; widget = widget->parentWidget()) {
            if (auto* host = dynamic_cast<OVColorPanelAccessoryViewHost*>(widget))
                return participating(host->colorPanelParticipant());
            if (Responder* responder = participating(dynamic_cast<Responder*>(widget)))
                return responder;
        }
        return nullptr;
    }
    const Window* key = Application::shared().keyWindow();
    return key && key->isVisible() ? participating(key->firstResponder()) : nullptr;
}

void OVColorPanelFirstResponderUpdater::_postUpdateColorPanelForFirstResponderChangeNotification()
{
    // Whatever asks before the event loop next runs joins the one update queued.
    if (m_inSetUp || m_posted)
        return;
    m_posted = true;
    QTimer::singleShot(0, m_queue.get(), [this] {
        m_posted = false;
        // Not inside a modal dialog's loop: the focus change that ends it asks again.
        if (Application::shared().isRunningModal() || QApplication::activeModalWidget())
            return;
        NotificationCenter::shared().postNotification(OVColorPanelUpdateAccessoryViewNotification, this);
    });
}

void OVColorPanelFirstResponderUpdater::_postUpdateForChangeOfTextView(const void* view)
{
    // A drag across the panel is the panel's own change: it shows that colour already.
    if (m_posted || !view || !ColorPanel::sharedColorPanelExists() || ColorPanel::shared().isTrackingMouse())
        return;
    const auto* text = dynamic_cast<const TextView*>(firstResponder());
    if (text && static_cast<const void*>(text) == view)
        _postUpdateColorPanelForFirstResponderChangeNotification();
}

void OVColorPanelFirstResponderUpdater::_updateNotificationObserversForPromptModeState(bool promptMode)
{
    if (promptMode) {
        m_focusObservers.clear();
        QObject::disconnect(m_focusConnection);
        return;
    }
    if (m_focusObservers.empty()) {
        NotificationCenter& center = NotificationCenter::shared();
        const auto post = [this](const Notification&) {
            _postUpdateColorPanelForFirstResponderChangeNotification();
        };
        for (const QString& name :
             {kWindowDidBecomeKeyNotification, kWindowDidBecomeMainNotification,
              kWindowDidChangeFirstResponderNotification, kApplicationDidBecomeActiveNotification})
            m_focusObservers.emplace_back(center, name, nullptr, post);
        // The colour under a new selection, or after an undo, is what the panel shows next.
        const auto postForParticipant = [this](const Notification& notification) {
            _postUpdateForChangeOfTextView(notification.object);
        };
        for (const QString& name :
             {kTextViewDidChangeSelectionNotification, kTextViewDidChangeTypingAttributesNotification,
              kTextDidChangeNotification})
            m_focusObservers.emplace_back(center, name, nullptr, postForParticipant);
    }
    if (!m_focusConnection && qApp)
        m_focusConnection = QObject::connect(qApp, &QApplication::focusChanged, m_queue.get(), [this] {
            _postUpdateColorPanelForFirstResponderChangeNotification();
        });
    _postUpdateColorPanelForFirstResponderChangeNotification();
}

void OVColorPanelFirstResponderUpdater::coreDidChangeModeNotification()
{
    _updateNotificationObserversForPromptModeState(isPromptMode());
}

void OVColorPanelFirstResponderUpdater::colorPanelUpdateAccessoryViewNotification()
{
    updateColorPanelForFirstResponderChange();
}

void OVColorPanelFirstResponderUpdater::updateColorPanelBeforeShowing()
{
    if (!isPromptMode())
        updateColorPanelForFirstResponderChange();
}

void OVColorPanelFirstResponderUpdater::updateColorPanelForFirstResponderChange()
{
    ++m_updateCount;
    OVColorPanelAccessoryViewController& accessory =
        OVColorPanelAccessoryViewController::sharedColorPanelAccessoryViewController();
    Responder* responder = firstResponder();
    ColorPanel& panel = ColorPanel::shared();
    QWidget* wanted = responder ? accessory.view() : nullptr;
    if (m_updateType == 0) {
        if (!panel.accessoryView() && responder)
            panel.setAccessoryView(wanted);
        accessory.setEnabled(responder != nullptr);
    } else if (panel.accessoryView() != wanted) {
        panel.setAccessoryView(wanted);
    }
    auto* participant = dynamic_cast<OVColorPanelAccessoryViewProtocol*>(responder);
    accessory.enableButtonCellsForSupportedColorPanelOptionMask(
        participant ? participant->supportedColorPanelOptionMask() : 0);
    if (participant)
        participant->updateColorPanelColorForSelectedOption();
}
