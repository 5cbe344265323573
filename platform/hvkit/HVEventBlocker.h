#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

// Keeps the user's input away from the application, or from one window, while something must not
// be disturbed: a change of mode, a flip animation. Only input is held back (keys, mouse, wheel,
// touch and tablet); painting, timers and posted work go on.
class HVEventBlocker : public QObject {
    Q_OBJECT

public:
    static HVEventBlocker& sharedBlocker();

    // Holds back input to the whole application until unblockApp(). options are kept for the
    // caller's sake and change nothing here.
    void blockAppWithOptions(unsigned options);
    void unblockApp();
    bool isAppBlocked() const { return m_appBlocked; }

    // Holds back input to window and everything inside it for duration seconds of the shared clock.
    void blockWindow(QObject* window, unsigned options, double duration);
    bool isWindowBlocked(const QObject* window) const;

    // Blocks the application for its own lifetime, so a failure on the way cannot leave it blocked.
    class AppBlock {
    public:
        explicit AppBlock(unsigned options) { sharedBlocker().blockAppWithOptions(options); }
        ~AppBlock() { sharedBlocker().unblockApp(); }
        AppBlock(const AppBlock&) = delete;
        AppBlock& operator=(const AppBlock&) = delete;
    };

    // Whether an event of this type is input that blocking holds back.
    static bool isInputEvent(int eventType);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HVEventBlocker() = default;
    void updateFilter();

    struct BlockedWindow {
        QPointer<QObject> window;
        double until = 0;
    };

    bool m_appBlocked = false;
    unsigned m_appOptions = 0;
    bool m_filterInstalled = false;
    std::vector<BlockedWindow> m_windows;
};
