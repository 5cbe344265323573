#include "platform/appkit/ScreenProvider.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/QtScreenProvider.h"
#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

namespace {
ScreenProvider* g_installed = nullptr;
}

int ScreenProvider::addReconfigurationObserver(Observer observer)
{
    const int token = m_nextToken++;
    m_observers.push_back({token, std::move(observer)});
    return token;
}

void ScreenProvider::removeReconfigurationObserver(int token)
{
    std::erase_if(m_observers, [token](const Entry& entry) { return entry.token == token; });
}

void ScreenProvider::notifyReconfigured()
{
    if (this == &shared())
        NotificationCenter::shared().postNotification(kApplicationDidChangeScreenParametersNotification,
                                                      &Application::shared());
    // Observers may remove themselves (or others) while we call them: walk a snapshot of tokens.
    std::vector<int> tokens;
    tokens.reserve(m_observers.size());
    for (const Entry& entry : m_observers)
        tokens.push_back(entry.token);
    for (int token : tokens) {
        auto it = std::find_if(m_observers.begin(), m_observers.end(),
                               [token](const Entry& entry) { return entry.token == token; });
        if (it != m_observers.end()) {
            Observer observer = it->observer;
            observer();
        }
    }
}

ScreenProvider& ScreenProvider::shared()
{
    if (g_installed)
        return *g_installed;
    static QtScreenProvider qtProvider;
    return qtProvider;
}

void ScreenProvider::setShared(ScreenProvider* provider)
{
    g_installed = provider;
}
