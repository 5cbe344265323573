#pragma once

// Points the XDG folders at a temporary directory before any test runs, so the shared user
// defaults, statistics and caches of a test binary never touch the real ones. A test folder
// that reads shared settings registers it once:
//   static const auto* kIsolated = ::testing::AddGlobalTestEnvironment(new IsolatedSettings);
// Given a way to reopen what the program's shared objects read from those folders, every test gets
// folders of its own, empty, as a new start of the program would, whatever ran before it in the
// same process and in whatever order:
//   new IsolatedSettings([] { OVProgramStart::startAfresh(); })
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

class IsolatedSettings : public ::testing::Environment {
public:
    IsolatedSettings() = default;
    explicit IsolatedSettings(std::function<void()> reopen) : m_reopen(std::move(reopen)) {}

    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        pointAt(m_home.path());
        if (m_reopen)
            ::testing::UnitTest::GetInstance()->listeners().Append(new EachTest(*this));
    }

private:
    // Runs before the test's fixture is made.
    class EachTest : public ::testing::EmptyTestEventListener {
    public:
        explicit EachTest(IsolatedSettings& settings) : m_settings(settings) {}
        void OnTestStart(const ::testing::TestInfo&) override { m_settings.freshFolders(); }

    private:
        IsolatedSettings& m_settings;
    };

    static void pointAt(const QString& home)
    {
        qputenv("XDG_CONFIG_HOME", QDir(home).filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_DATA_HOME", QDir(home).filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CACHE_HOME", QDir(home).filePath(QStringLiteral("cache")).toUtf8());
    }

    void freshFolders()
    {
        const QString home = m_home.filePath(QStringLiteral("test-%1").arg(++m_tests));
        QDir().mkpath(home);
        pointAt(home);
        m_reopen();
    }

    QTemporaryDir m_home;
    std::function<void()> m_reopen;
    int m_tests = 0;
};
