// The program's start as a user meets it, timed around the built program: started on the sample
// script until its window is up and the event loop has run once (offscreen), and a later start
// that hands its file to a running program and ends. Each start gets an empty settings folder of
// its own, so it pays for the first launch's defaults as a new user's does.
#include "app/OVInstanceBus.h"
#include "app/OVSingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>

namespace {

const QString kSample = QStringLiteral(ORVANE_SOURCE_DIR "/resources/Sample Script.ovdocument");

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "program_start";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

QProcessEnvironment environmentFor(const QTemporaryDir& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    return environment;
}

void BM_StartOnTheSampleScriptUntilItsWindowIsUp(benchmark::State& state)
{
    application();
    for (auto _ : state) {
        QTemporaryDir home;
        QProcess start;
        QProcessEnvironment environment = environmentFor(home);
        environment.insert(QStringLiteral("ORVANE_QUIT_AFTER_LAUNCH"), QStringLiteral("1"));
        start.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        start.start(QStringLiteral(ORVANE_BINARY), {kSample});
        if (!start.waitForFinished(30000) || start.exitCode() != 0) {
            state.SkipWithError("the program did not start and quit");
            return;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_StartOnTheSampleScriptUntilItsWindowIsUp)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_LaterStartHandsItsFileOverAndEnds(benchmark::State& state)
{
    application();
    QTemporaryDir home;
    const QProcessEnvironment environment = environmentFor(home);
    // The running program stands in as a server on its own thread, answering at once; the serving
    // name is the one a program on these settings uses.
    qputenv("XDG_CONFIG_HOME", environment.value(QStringLiteral("XDG_CONFIG_HOME")).toUtf8());
    QThread thread;
    std::unique_ptr<OVSingleInstance> running;
    QObject::connect(&thread, &QThread::started, [&running] {
        running = std::make_unique<OVSingleInstance>([](const OVSingleInstance::Request&) { return 0; });
        running->listen();
    });
    QObject::connect(&thread, &QThread::finished, [&running] { running.reset(); });
    thread.start();
    while (!running || !running->isListening())
        QThread::msleep(1);
    for (auto _ : state) {
        QProcess start;
        start.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        start.start(QStringLiteral(ORVANE_BINARY), {kSample});
        if (!start.waitForFinished(30000) || start.exitCode() != 0) {
            state.SkipWithError("the later start did not hand its file over");
            break;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    thread.quit();
    thread.wait();
}
BENCHMARK(BM_LaterStartHandsItsFileOverAndEnds)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// The same hand-over on a session bus of the benchmark's own, which the running stand-in owns its
// name on; the later start's runtime folder is another, so it cannot take the socket instead.
void BM_LaterStartHandsItsFileOverOnTheBus(benchmark::State& state)
{
    application();
    const QString daemonProgram = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemonProgram.isEmpty()) {
        state.SkipWithError("dbus-daemon is not installed");
        return;
    }
    QProcess daemon;
    daemon.start(daemonProgram, {QStringLiteral("--session"), QStringLiteral("--print-address"),
                                 QStringLiteral("--nofork")});
    while (daemon.waitForStarted(5000) && !daemon.canReadLine() && daemon.waitForReadyRead(5000)) {
    }
    const QByteArray address = daemon.readLine().trimmed();
    if (address.isEmpty()) {
        state.SkipWithError("dbus-daemon gave no address");
        return;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QTemporaryDir home;
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = environmentFor(home);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    qputenv("XDG_CONFIG_HOME", environment.value(QStringLiteral("XDG_CONFIG_HOME")).toUtf8());
    QThread thread;
    std::unique_ptr<OVInstanceBus> running;
    // 0 while the stand-in registers, 1 once it owns its name, 2 when it could not.
    std::atomic<int> registered{0};
    QObject::connect(&thread, &QThread::started, [&running, &registered] {
        running = std::make_unique<OVInstanceBus>([](const OVSingleInstance::Request&) { return 0; });
        registered = running->registerOnBus() == OVInstanceBus::Registration::Registered ? 1 : 2;
    });
    QObject::connect(&thread, &QThread::finished, [&running] { running.reset(); });
    thread.start();
    while (registered == 0)
        QThread::msleep(1);
    if (registered != 1) {
        state.SkipWithError("the stand-in could not own its name on the bus");
    } else {
        for (auto _ : state) {
            QProcess start;
            start.setProcessEnvironment(environment);
            QElapsedTimer timer;
            timer.start();
            start.start(QStringLiteral(ORVANE_BINARY), {kSample});
            if (!start.waitForFinished(30000) || start.exitCode() != 0) {
                start.kill();
                start.waitForFinished();
                state.SkipWithError("the later start did not hand its file over the bus");
                break;
            }
            state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        }
    }
    thread.quit();
    thread.wait();
    daemon.kill();
    daemon.waitForFinished();
}
BENCHMARK(BM_LaterStartHandsItsFileOverOnTheBus)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace
