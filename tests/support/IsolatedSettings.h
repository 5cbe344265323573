#pragma once

// Points the XDG folders at a temporary directory before any test runs, so the shared user
// defaults, statistics and caches of a test binary never touch the real ones. A test folder
// that reads shared settings registers it once:
//   static const auto* kIsolated = ::testing::AddGlobalTestEnvironment(new IsolatedSettings);
#include <QTemporaryDir>

#include <gtest/gtest.h>

class IsolatedSettings : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
        qputenv("XDG_CACHE_HOME", m_home.filePath("cache").toUtf8());
    }

private:
    QTemporaryDir m_home;
};
