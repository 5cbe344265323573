#include "platform/appkit/UndoManager.h"
#include "platform/foundation/NotificationCenter.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

namespace {

// A value whose changes register their own inverse, as model objects do.
struct Counter {
    explicit Counter(UndoManager& undo) : undo(undo) {}
    void set(int newValue)
    {
        const int old = value;
        undo.registerUndo(this, [this, old] { set(old); });
        value = newValue;
    }
    UndoManager& undo;
    int value = 0;
};

} // namespace

TEST(UndoManagerTest, RegistrationsOfOneEventLoopPassFormOneGroup)
{
    UndoManager undo;
    Counter counter(undo);
    counter.set(1);
    counter.set(2);
    undo.setActionName(QStringLiteral("Text Color"));
    EXPECT_TRUE(undo.canUndo());
    EXPECT_EQ(undo.groupingLevel(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.groupingLevel(), 0);
    counter.set(3);
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.undoCount(), 2);
    EXPECT_EQ(undo.undoMenuItemTitle(), QStringLiteral("Undo"));
    undo.undo();
    EXPECT_EQ(counter.value, 2);
    EXPECT_EQ(undo.undoMenuItemTitle(), QStringLiteral("Undo Text Color"));
    undo.undo();
    EXPECT_EQ(counter.value, 0);
    EXPECT_FALSE(undo.canUndo());
    // Undoing registered the redo, under the same name.
    EXPECT_EQ(undo.redoMenuItemTitle(), QStringLiteral("Redo Text Color"));
    undo.redo();
    EXPECT_EQ(counter.value, 2);
    undo.redo();
    EXPECT_EQ(counter.value, 3);
    EXPECT_FALSE(undo.canRedo());
    undo.undo();
    EXPECT_EQ(counter.value, 2);
    // A new change drops what could be redone.
    counter.set(9);
    EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManagerTest, UndoClosesTheOpenAutomaticGroupFirst)
{
    UndoManager undo;
    Counter counter(undo);
    counter.set(5);
    undo.undo();
    EXPECT_EQ(counter.value, 0);
    EXPECT_EQ(undo.groupingLevel(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.redoCount(), 1);
}

TEST(UndoManagerTest, ExplicitGroupsNestAndUnbalancedEndsAreRefused)
{
    UndoManager undo;
    undo.setGroupsByEvent(false);
    Counter counter(undo);
    undo.beginUndoGrouping();
    counter.set(1);
    undo.beginUndoGrouping();
    counter.set(2);
    undo.setActionName(QStringLiteral("Inner"));
    undo.endUndoGrouping();
    counter.set(3);
    undo.endUndoGrouping();
    undo.endUndoGrouping();
    EXPECT_EQ(undo.undoCount(), 1);
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Inner"));
    undo.undo();
    EXPECT_EQ(counter.value, 0);
    // Outside a group, with grouping by event off, a registration has nowhere to go.
    counter.set(4);
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManagerTest, DisabledRegistrationAndLevels)
{
    UndoManager undo;
    Counter counter(undo);
    undo.disableUndoRegistration();
    undo.disableUndoRegistration();
    counter.set(1);
    undo.enableUndoRegistration();
    counter.set(2);
    EXPECT_FALSE(undo.isUndoRegistrationEnabled());
    undo.enableUndoRegistration();
    undo.enableUndoRegistration(); // unbalanced: refused
    EXPECT_TRUE(undo.isUndoRegistrationEnabled());
    EXPECT_FALSE(undo.canUndo());

    undo.setLevelsOfUndo(2);
    for (int i = 10; i < 14; ++i) {
        counter.set(i);
        undo.closeAutomaticGroup();
    }
    EXPECT_EQ(undo.undoCount(), 2);
    undo.undo();
    undo.undo();
    EXPECT_EQ(counter.value, 11);
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManagerTest, RemovingATargetDropsItsActionsAndEmptyGroups)
{
    UndoManager undo;
    Counter first(undo);
    Counter second(undo);
    first.set(1);
    undo.closeAutomaticGroup();
    first.set(2);
    second.set(7);
    undo.closeAutomaticGroup();
    undo.removeAllActionsWithTarget(&first);
    EXPECT_EQ(undo.undoCount(), 1);
    undo.undo();
    EXPECT_EQ(second.value, 0);
    EXPECT_EQ(first.value, 2);
    undo.removeAllActions();
    EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManagerTest, PostsNotificationsAndSurvivesItsOwnDestruction)
{
    int didUndo = 0;
    auto id = NotificationCenter::shared().addObserver(kUndoManagerDidUndoChangeNotification, nullptr,
                                                       [&](const Notification&) { ++didUndo; });
    {
        auto undo = std::make_unique<UndoManager>();
        Counter counter(*undo);
        counter.set(1);
        undo->undo();
        EXPECT_EQ(didUndo, 1);
        counter.set(2);
    }
    // The manager is gone before its automatic group would close.
    QCoreApplication::processEvents();
    NotificationCenter::shared().removeObserver(id);
}
