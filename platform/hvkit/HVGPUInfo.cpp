#include "platform/hvkit/HVGPUInfo.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QRegularExpression>

namespace {

const HVGPUInfo::Facts* g_facts = nullptr;
const QString kUnknown = QStringLiteral("unknown");

QString glString(QOpenGLFunctions* functions, GLenum name)
{
    const auto* value = reinterpret_cast<const char*>(functions->glGetString(name));
    return value ? QString::fromUtf8(value) : QString();
}

// One short-lived context is enough: the strings do not change while the program runs, but a
// display change may bring another driver, so the caller decides when to ask again.
HVGPUInfo openGLInfo()
{
    HVGPUInfo info;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return info;
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface))
        return info;
    QOpenGLFunctions* functions = context.functions();
    info.renderer = glString(functions, GL_RENDERER);
    info.openGLVendor = glString(functions, GL_VENDOR);
    info.openGLVersion = glString(functions, GL_VERSION);
    context.doneCurrent();
    return info;
}

const QRegularExpression& cardName()
{
    static const QRegularExpression pattern(QStringLiteral("^card[0-9]+$"));
    return pattern;
}

} // namespace

QStringList HVGPUInfo::names() const
{
    return renderer.isEmpty() ? QStringList() : QStringList{renderer};
}

HVGPUInfo HVGPUInfo::infoWithScreen(const Screen*)
{
    if (g_facts && g_facts->info)
        return g_facts->info();
    HVGPUInfo info = openGLInfo();
    info.videoMemoryMB = videoMemoryMBFromDrm(QStringLiteral("/sys/class/drm"));
    return info;
}

int HVGPUInfo::numberOfGPUs()
{
    if (g_facts && g_facts->gpuCount)
        return g_facts->gpuCount();
    return countDrmCards(QStringLiteral("/sys/class/drm"));
}

QString HVGPUInfo::hardwareModelName()
{
    if (g_facts && g_facts->modelName)
        return g_facts->modelName();
    return modelNameFromDmi(QStringLiteral("/sys/class/dmi/id/product_name"));
}

void HVGPUInfo::setFacts(const Facts* facts)
{
    g_facts = facts;
}

int HVGPUInfo::countDrmCards(const QString& drmClassPath)
{
    // Connectors ("card0-HDMI-A-1") and render nodes are not devices of their own.
    int count = 0;
    for (const QString& entry :
         QDir(drmClassPath).entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot)) {
        if (cardName().match(entry).hasMatch())
            ++count;
    }
    return count;
}

qint64 HVGPUInfo::videoMemoryMBFromDrm(const QString& drmClassPath)
{
    // The amdgpu driver tells its dedicated memory in bytes; other drivers tell nothing that means it.
    for (const QString& entry :
         QDir(drmClassPath).entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot)) {
        if (!cardName().match(entry).hasMatch())
            continue;
        QFile file(drmClassPath + QLatin1Char('/') + entry + QStringLiteral("/device/mem_info_vram_total"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const qint64 bytes = file.read(64).trimmed().toLongLong(&ok);
        if (ok && bytes > 0)
            return bytes / (1024 * 1024);
    }
    return 0;
}

QString HVGPUInfo::modelNameFromDmi(const QString& dmiProductNamePath)
{
    QFile file(dmiProductNamePath);
    if (!file.open(QIODevice::ReadOnly))
        return kUnknown;
    const QString name = QString::fromUtf8(file.read(256)).trimmed();
    return name.isEmpty() ? kUnknown : name;
}
