#pragma once

#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/foundation/UserDefaults.h"

// Installs a fake screen list for one test and puts Qt's back afterwards.
class ScopedScreens {
public:
    explicit ScopedScreens(std::vector<Screen> screens) : m_provider(std::move(screens))
    {
        ScreenProvider::setShared(&m_provider);
    }
    ~ScopedScreens() { ScreenProvider::setShared(nullptr); }
    FakeScreenProvider& provider() { return m_provider; }

private:
    FakeScreenProvider m_provider;
};

inline Screen operatorScreen1440() { return FakeScreenProvider::makeScreen(0, {{0, 0}, {1440, 900}}); }
inline Screen talentScreen1920() { return FakeScreenProvider::makeScreen(1, {{1440, 0}, {1920, 1080}}); }

// Sets user defaults for one test and removes them afterwards.
class ScopedDefaults {
public:
    ~ScopedDefaults()
    {
        for (const QString& key : m_keys)
            UserDefaults::shared().removeObjectForKey(key);
    }
    void setBool(const QString& key, bool value)
    {
        m_keys.push_back(key);
        UserDefaults::shared().setBool(value, key);
    }
    void setInteger(const QString& key, qint64 value)
    {
        m_keys.push_back(key);
        UserDefaults::shared().setInteger(value, key);
    }
    void setDouble(const QString& key, double value)
    {
        m_keys.push_back(key);
        UserDefaults::shared().setDouble(value, key);
    }
    void setString(const QString& key, const QString& value)
    {
        m_keys.push_back(key);
        UserDefaults::shared().setObject(value, key);
    }

private:
    std::vector<QString> m_keys;
};
