#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Screen;

// What this machine tells about its graphics hardware. Linux has no per-display GPU query, so every
// screen gets the same record: the renderer, vendor and version strings of an OpenGL context made
// through Qt (empty when none can be made), the GPU count from the DRM devices, the video memory
// from the driver's sysfs entry where the driver has one (0, unknown, elsewhere) and the machine's
// model from its DMI product name. What cannot be found out reads "unknown".
class HVGPUInfo {
public:
    QString renderer;
    QString openGLVendor;
    QString openGLVersion;
    qint64 videoMemoryMB = 0;

    // The GPU names a profile's "VideoCardName" is looked for in.
    QStringList names() const;

    static HVGPUInfo infoWithScreen(const Screen* screen);
    static int numberOfGPUs();
    static QString hardwareModelName();

    // Where the facts come from: the machine unless a test installs its own (null: the machine).
    struct Facts {
        std::function<HVGPUInfo()> info;
        std::function<int()> gpuCount;
        std::function<QString()> modelName;
    };
    static void setFacts(const Facts* facts);

    // The parts that read the system, apart so they can be checked against a fake sysfs tree.
    static int countDrmCards(const QString& drmClassPath);
    static qint64 videoMemoryMBFromDrm(const QString& drmClassPath);
    static QString modelNameFromDmi(const QString& dmiProductNamePath);
};
