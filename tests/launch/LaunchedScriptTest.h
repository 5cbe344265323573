#pragma once

// The fixture of the tests that drive the program as launched on one script: the real start on a
// copy of the sample script, with an empty settings folder and a clock the test moves by hand.
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/foundation/Clock.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "LaunchTestSupport.h"

namespace launchtest {

class LaunchedScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A setting left over from another test would hide what the real defaults do.
        ASSERT_TRUE(QDir(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")))
                        .entryList(QDir::NoDotAndDotDot)
                        .isEmpty());
        Clock::setShared(&clock);
        script = folder.filePath(QStringLiteral("Script.ovdocument"));
        ASSERT_TRUE(copyFolder(kSample, script));
        session = OVProgramStart::launch({script});
        ASSERT_EQ(session->documentController().documents().size(), 1u);
        QCoreApplication::processEvents();
    }

    void TearDown() override
    {
        // Closing with unsaved changes asks; the answer is not to save.
        AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
        session.reset();
        Clock::setShared(nullptr);
    }

    std::vector<Document*> documents() const { return session->documentController().documents(); }
    Document& document() const { return *documents().front(); }
    OVDocumentWindowController& controller() const
    {
        return *dynamic_cast<OVDocumentWindowController*>(document().primaryWindowController());
    }

    ManualClock clock;
    QTemporaryDir folder;
    QString script;
    std::unique_ptr<OVDocumentSession> session;
};

} // namespace launchtest
