#pragma once

#include "platform/appkit/Screen.h"

#include <QPointF>

#include <functional>
#include <vector>

// Where the list of screens comes from: Qt's screens in the application, a fake in tests. Observers
// hear of every reconfiguration (a screen added, removed, moved, resized or re-rated).
class ScreenProvider {
public:
    using Observer = std::function<void()>;

    virtual ~ScreenProvider() = default;

    // Primary first.
    virtual std::vector<Screen> screens() const = 0;
    // Qt's top-left of the primary screen; the y-up origin sits at its bottom-left.
    virtual QPointF primaryQtTopLeft() const { return {}; }

    int addReconfigurationObserver(Observer observer);
    void removeReconfigurationObserver(int token);

    // The provider the platform layer reads; Qt's screens unless a test installed another.
    static ScreenProvider& shared();
    // Installs a provider the caller keeps alive; nullptr restores Qt's screens.
    static void setShared(ScreenProvider* provider);

protected:
    void notifyReconfigured();

private:
    struct Entry {
        int token;
        Observer observer;
    };
    std::vector<Entry> m_observers;
    int m_nextToken = 1;
};
