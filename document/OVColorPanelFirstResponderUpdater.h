#pragma once

#include "platform/foundation/NotificationCenter.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QObject;
class Responder;

inline const QString OVColorPanelUpdateAccessoryViewNotification =
    QStringLiteral("OVColorPanelUpdateAccessoryViewNotification");

// Keeps the colour panel's accessory in step with the view the user works in. Every change of key
// window, main window, first responder, keyboard focus or application activation asks for an update,
// and so does a change of the participating text view's selection, typing colours or text;
// all asked for before the event loop next runs make one, and none runs while a modal dialog is open
// (it runs once the dialog has gone). In Prompt mode it does not listen at all; leaving Prompt mode
// updates at once.
class OVColorPanelFirstResponderUpdater {
public:
    static OVColorPanelFirstResponderUpdater& sharedColorPanelFirstResponderUpdater();

    // 0: the accessory, once shown, stays and is enabled only with a participant; 1: the accessory
    // is shown only with a participant.
    unsigned updateType() const { return m_updateType; }
    void setUpdateType(unsigned type) { m_updateType = type; }

    // The participating responder: the focused responder that takes part in the accessory and takes
    // "changeColor:", or null. Focus inside the colour panel itself changes nothing: the participant
    // is then that of the window the user came from.
    Responder* firstResponder();
    void updateColorPanelForFirstResponderChange();
    // The update at once, as the panel is brought to the front, so that it opens on the colour of
    // what it will change; nothing in Prompt mode.
    void updateColorPanelBeforeShowing();

    // Updates run so far (for the tests of coalescing).
    int updateCount() const { return m_updateCount; }

    OVColorPanelFirstResponderUpdater(const OVColorPanelFirstResponderUpdater&) = delete;
    OVColorPanelFirstResponderUpdater& operator=(const OVColorPanelFirstResponderUpdater&) = delete;

private:
    OVColorPanelFirstResponderUpdater();
    ~OVColorPanelFirstResponderUpdater();
    void _postUpdateColorPanelForFirstResponderChangeNotification();
    void _updateNotificationObserversForPromptModeState(bool promptMode);
    // Asks for an update when view (a text view's address) is the participant.
    void _postUpdateForChangeOfTextView(const void* view);
    void colorPanelUpdateAccessoryViewNotification();
    void coreDidChangeModeNotification();

    unsigned m_updateType = 0;
    bool m_inSetUp = true;
    bool m_posted = false;
    QMetaObject::Connection m_focusConnection;
    int m_updateCount = 0;
    std::vector<NotificationObserver> m_modeObservers;
    std::vector<NotificationObserver> m_focusObservers;
    std::unique_ptr<QObject> m_queue;
    // The widget the keyboard was in last outside the colour panel.
    QPointer<QWidget> m_lastFocus;
};
