#include "platform/hvkit/HVFontManager.h"

#include "platform/appkit/WindowCloseKeys.h"

#include <QCheckBox>
#include <QDrag>
#include <QFontDialog>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalBlocker>

#include <cmath>

const QString HVFontManager::kFontMimeType = QStringLiteral("application/x-orvane-font");

namespace {

// A font this large or larger is no font anyone sets; a payload that claims one is damaged.
constexpr double kLargestPointSize = 2000;
constexpr qsizetype kLargestFontPayload = 4096;

struct Panels {
    QPointer<QFontDialog> font;
    HVFontManager::FontTarget fontTarget;
    bool settingPanel = false;
};

Panels& panels()
{
    static Panels shared;
    return shared;
}

// The font the panel shows, dragged onto a drop target that takes fonts.
class FontDragLabel final : public QLabel {
public:
    explicit FontDragLabel(QWidget* parent) : QLabel(parent)
    {
        setObjectName(QStringLiteral("fontDragSource"));
        setText(QObject::tr("Drag this font"));
        setFrameShape(QFrame::StyledPanel);
        setCursor(Qt::OpenHandCursor);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton || !panels().font)
            return;
        auto* mime = new QMimeData;
        mime->setData(HVFontManager::kFontMimeType,
                      HVFontManager::fontData(HVFontManager::modelFont(panels().font->currentFont())));
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction);
    }
};

QFontDialog* makeFontPanel()
{
    auto* panel = new QFontDialog;
    panel->setObjectName(QStringLiteral("sharedFontPanel"));
    panel->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    panel->setWindowModality(Qt::NonModal);
    panel->setWindowTitle(QObject::tr("Fonts"));
    // The dialog's strikeout and underline boxes would offer what a font choice here never carries
    // to the script: the panel chooses family, style and size.
    for (QGroupBox* box : panel->findChildren<QGroupBox*>()) {
        if (!box->findChildren<QCheckBox*>().isEmpty())
            box->hide();
    }
    if (panel->layout())
        panel->layout()->addWidget(new FontDragLabel(panel));
    closeWithStandardKeys(*panel);
    QObject::connect(panel, &QFontDialog::currentFontChanged, panel, [](const QFont& font) {
        Panels& state = panels();
        if (!state.settingPanel && state.fontTarget)
            state.fontTarget(HVFontManager::modelFont(font));
    });
    return panel;
}

} // namespace

void HVFontManager::orderFrontFontPanel(const Font& font, FontTarget target)
{
    Panels& state = panels();
    if (!state.font)
        state.font = makeFontPanel();
    state.fontTarget = std::move(target);
    updateFontPanel(font);
    state.font->show();
    state.font->raise();
    state.font->activateWindow();
}

void HVFontManager::updateFontPanel(const Font& font)
{
    Panels& state = panels();
    if (!state.font)
        return;
    state.settingPanel = true;
    state.font->setCurrentFont(qtFont(font));
    state.settingPanel = false;
}

void HVFontManager::clearTargets()
{
    panels().fontTarget = {};
}

QFontDialog* HVFontManager::fontPanel()
{
    return panels().font.data();
}

bool HVFontManager::isFontPanelVisible()
{
    return panels().font && panels().font->isVisible();
}

QFont HVFontManager::qtFont(const Font& font)
{
    QFont result(font.familyName.isEmpty() ? font.fontName : font.familyName);
    if (std::isfinite(font.pointSize) && font.pointSize > 0)
        result.setPointSizeF(std::clamp(font.pointSize, 1.0, kLargestPointSize));
    result.setBold(font.bold);
    result.setItalic(font.italic);
    return result;
}

Font HVFontManager::modelFont(const QFont& font)
{
    Font result;
    result.familyName = font.family();
    result.bold = font.bold();
    result.italic = font.italic();
    result.fixedPitch = font.fixedPitch();
    result.pointSize = font.pointSizeF() > 0 ? font.pointSizeF() : double(std::max(1, font.pixelSize()));
    // The PostScript name RTF font tables carry: the family without spaces, then the face.
    QString postScript = result.familyName;
    postScript.remove(QLatin1Char(' '));
    if (result.bold || result.italic)
        postScript += QStringLiteral("-") + (result.bold ? QStringLiteral("Bold") : QString()) +
                      (result.italic ? QStringLiteral("Italic") : QString());
    result.fontName = postScript;
    return result;
}

QColor HVFontManager::qtColor(const Color& color)
{
    return QColor::fromRgbF(float(std::clamp(color.red, 0.0, 1.0)), float(std::clamp(color.green, 0.0, 1.0)),
                            float(std::clamp(color.blue, 0.0, 1.0)),
                            float(std::clamp(color.alpha, 0.0, 1.0)));
}

Color HVFontManager::modelColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return Color::rgb(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

QByteArray HVFontManager::fontData(const Font& font)
{
    QJsonObject object;
    object.insert(QStringLiteral("family"), font.familyName);
    object.insert(QStringLiteral("name"), font.fontName);
    object.insert(QStringLiteral("size"), font.pointSize);
    object.insert(QStringLiteral("bold"), font.bold);
    object.insert(QStringLiteral("italic"), font.italic);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<Font> HVFontManager::fontFromData(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > kLargestFontPayload)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue family = object.value(QStringLiteral("family"));
    const QJsonValue name = object.value(QStringLiteral("name"));
    const QJsonValue size = object.value(QStringLiteral("size"));
    if (!family.isString() || family.toString().trimmed().isEmpty() || family.toString().size() > 256 ||
        !size.isDouble())
        return std::nullopt;
    const double pointSize = size.toDouble();
    if (!std::isfinite(pointSize) || pointSize < 1 || pointSize > kLargestPointSize)
        return std::nullopt;
    Font font;
    font.familyName = family.toString();
    font.fontName =
        name.isString() && !name.toString().isEmpty() ? name.toString().left(256) : font.familyName;
    font.pointSize = pointSize;
    font.bold = object.value(QStringLiteral("bold")).toBool(false);
    font.italic = object.value(QStringLiteral("italic")).toBool(false);
    return font;
}
