#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class OVDocumentSession;

// The program's start, in its fixed order: logging through the framework's logger, the launch
// record, the framework's set-up, the process-wide workaround switches and the synchronised
// properties of the focus arrow and the time bar; then the application's event loop.
class OVProgramStart {
public:
    // Process-wide switches that other parts of the program provide. Each flips its state when
    // called, so the start calls each exactly once.
    enum class Switch {
        FixParagraphStyleAppleBugWorkaround,
        FixAttachmentAppleBugWorkaround,
        BetterIBeamCursor,
        FixedReflectScrolledClipView,
        AnimationResizeOverride,
        FocusArrowSynchronizedPropertyChanges,
        TimeBarSynchronizedPropertyChanges,
    };

    // Installs the switch a part of the program provides; set before the start runs.
    static void setSwitch(Switch which, std::function<void()> toggle);
    // Installs the switches of the parts this program links: the synchronised properties of the
    // focus arrow and the time bar.
    static void installProgramSwitches();
    // Runs the installed switch, when there is one.
    static void flipSwitch(Switch which);
    static QString switchName(Switch which);

    // Runs the steps before the event loop, once per process: later calls do nothing and answer
    // false. trace hears the name of each step as it runs.
    static bool prepareProcess(const std::function<void(const QString& step)>& trace = {});
    static bool hasPreparedProcess();
    // Forgets what this process read of the settings and the statistics, so that the next launch()
    // reads its folders afresh and is counted as a start of its own, as in a new process: for a
    // process that starts the program more than once, such as a test's.
    static void startAfresh();

    // The names the settings and data folders are found under.
    static void setApplicationIdentity();
    // The program's icon, which every window shows (Prompt mode badges it), from the built-in
    // artwork; the windows are the desktop entry "orvane"'s.
    static void installApplicationIcon();
    // Everything between Qt's application object and its event loop: the switches, the process's
    // preparation, the document session and its delegate's launch with the files given (or a new
    // document), and the answering of later starts. The program runs while the session lives.
    static std::unique_ptr<OVDocumentSession> launch(const QStringList& paths);
    // Hands a start's arguments to a program already running on the same settings; answers the exit
    // status of this start when one took them (1 when it reported that nothing could be opened, 0
    // otherwise, also while it is still telling the user about the files), nothing when none runs.
    static std::optional<int> handToRunningProgram(const QStringList& arguments);
    // The argument of the desktop entry's "New Document" action.
    static constexpr const char* kNewDocumentOption = "--new-document";

    // What to tell a start that has no display to show its windows on (none set and no platform
    // chosen); empty when there is one, or when the choice is left to Qt.
    static QString missingDisplayMessage(int argc, char** argv);

    // The program: prepares the process, runs the application and answers its exit status.
    static int main(int argc, char** argv);
};
