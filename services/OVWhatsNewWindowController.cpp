#include "services/OVWhatsNewWindowController.h"

#include "platform/appkit/FloatingWindows.h"
#include "platform/appkit/WindowCloseKeys.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/DocumentAttributes.h"
#include "platform/text/Rtfd.h"
#include "services/OVAttributedTextDisplay.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPalette>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

using namespace NSColorHVAdditions;

const QString kAllColorAttributes[] = {kForegroundColorAttributeName, kBackgroundColorAttributeName,
                                       kStrokeColorAttributeName, kUnderlineColorAttributeName,
                                       kStrikethroughColorAttributeName};

QColor toQColor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

// Inverts the greys of the text: coloured text and highlights keep their colours, and text on a
// coloured highlight keeps its colour so it stays readable there.
void invertGreys(MutableAttributedString& text)
{
    const Range whole{0, text.length()};
    for (const QString& name : kAllColorAttributes) {
        std::vector<std::pair<Range, Color>> changes;
        text.enumerateAttribute(name, whole, 0, [&](const AttributeValue& value, const Range& range, bool&) {
            const Color* color = value.color();
            const bool foreground = name == kForegroundColorAttributeName;
            if (!color && !foreground)
                return;
            if (foreground) {
                const AttributeValue highlight =
                    text.attribute(kBackgroundColorAttributeName, range.location);
                if (highlight.color() && !isGrayscale(*highlight.color()))
                    return;
            }
            const Color current = color ? *color : RGBBlackColor();
            if (isGrayscale(current))
                changes.emplace_back(range, inverseColor(current));
        });
        for (const auto& [range, color] : changes)
            text.addAttribute(name, color, range);
    }
}

} // namespace

// The window: it tells its controller of palette changes and of being closed.
class OVWhatsNewWindowController::Window final : public QWidget {
public:
    explicit Window(OVWhatsNewWindowController& owner) : m_owner(owner)
    {
        setObjectName(QStringLiteral("whatsNewWindow"));
        setWindowTitle(HVLocalizedString::localizedString(QStringLiteral("whats-new-title-whats-new"),
                                                          QStringLiteral("What's New")));
    }

protected:
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange && isVisible())
            m_owner.updateColors();
        QWidget::changeEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        m_owner.m_text = MutableAttributedString();
        m_owner.render();
        QWidget::closeEvent(event);
    }

private:
    OVWhatsNewWindowController& m_owner;
};

bool OVWhatsNewWindowController::hasWhatsNewNotesNewerThanBuildNumber(quint64 buildNumber)
{
    return hasWhatsNewNotesNewerThanBuildNumber(buildNumber, OVWhatsNewNote::whatsNewNotes());
}

bool OVWhatsNewWindowController::hasWhatsNewNotesNewerThanBuildNumber(
    quint64 buildNumber, const std::vector<OVWhatsNewNote>& notes)
{
    return std::any_of(notes.begin(), notes.end(), [buildNumber](const OVWhatsNewNote& note) {
        return note.buildNumber() > buildNumber;
    });
}

std::unique_ptr<OVWhatsNewWindowController>
OVWhatsNewWindowController::windowControllerWithLastUsedBuildNumber(quint64 buildNumber)
{
    return std::make_unique<OVWhatsNewWindowController>(buildNumber);
}

OVWhatsNewWindowController::OVWhatsNewWindowController(quint64 lastUsedBuildNumber)
    : m_lastUsedBuildNumber(lastUsedBuildNumber), m_wasDarkModePreviously(isDarkMode())
{
}

OVWhatsNewWindowController::~OVWhatsNewWindowController() = default;

bool OVWhatsNewWindowController::isDarkMode()
{
    return QApplication::palette().color(QPalette::Window).lightness() < 128;
}

QWidget* OVWhatsNewWindowController::window()
{
    if (!m_window)
        windowDidLoad();
    return m_window.get();
}

void OVWhatsNewWindowController::windowDidLoad()
{
    m_window = std::make_unique<Window>(*this);
    auto* layout = new QVBoxLayout(m_window.get());
    m_popUp = new QComboBox(m_window.get());
    m_popUp->setObjectName(QStringLiteral("notesPopUpButton"));
    layout->addWidget(m_popUp);
    m_textView = new QTextBrowser(m_window.get());
    m_textView->setObjectName(QStringLiteral("whatsNewTextView"));
    m_textView->setReadOnly(true);
    m_textView->setOpenExternalLinks(true);
    layout->addWidget(m_textView, 1);
    m_window->resize(560, 520);
    QObject::connect(m_popUp, &QComboBox::activated, m_popUp, [this](int) { notesPopUpButtonAction(); });
    m_notes = m_notesSource ? m_notesSource() : OVWhatsNewNote::whatsNewNotes();
    populateUIFromNotes(m_notes);
    if (m_notes.size() == 1) {
        m_popUp->hide();
        m_textView->setFrameShape(QFrame::NoFrame);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    closeWithStandardKeys(*m_window);
}

void OVWhatsNewWindowController::populateUIFromNotes(const std::vector<OVWhatsNewNote>& notes)
{
    m_popUp->clear();
    if (notes.empty())
        return;
    std::optional<std::size_t> start;
    if (m_lastUsedBuildNumber != 0) {
        for (std::size_t index = notes.size(); index-- > 0;) {
            if (notes[index].buildNumber() > m_lastUsedBuildNumber) {
                start = index;
                break;
            }
        }
    } else {
        for (std::size_t index = 0; index < notes.size(); ++index) {
            if (notes[index].buildNumber() > m_lastUsedBuildNumber) {
                start = index;
                break;
            }
        }
    }
    int selected = 0;
    for (std::size_t index = 0; index < notes.size(); ++index) {
        const OVWhatsNewNote& note = notes[index];
        m_popUp->addItem(
            QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(), note.versionString()),
            note.fileURL());
        if (start && index == *start) {
            selected = m_popUp->count() - 1;
            if (index + 1 < notes.size()) {
                m_popUp->insertSeparator(m_popUp->count());
                m_popUp->addItem(
                    HVLocalizedString::localizedString(QStringLiteral("whats-new-title-older-notes"),
                                                       QStringLiteral("Older notes")),
                    kOlderNotesTag);
                auto* model = static_cast<QStandardItemModel*>(m_popUp->model());
                model->item(m_popUp->count() - 1)->setEnabled(false);
            }
        }
    }
    m_popUp->setCurrentIndex(selected);
    notesPopUpButtonAction();
}

void OVWhatsNewWindowController::notesPopUpButtonAction()
{
    const QVariant data = m_popUp ? m_popUp->currentData() : QVariant();
    if (data.typeId() == QMetaType::QUrl)
        loadNoteForURL(data.toUrl());
}

void OVWhatsNewWindowController::loadNoteForURL(const QUrl& url)
{
    if (url.isEmpty()) {
        m_text = MutableAttributedString();
    } else {
        MutableAttributedString text;
        DocumentAttributes attributes;
        Error error;
        if (!Rtfd::readFromURL(url, text, &attributes, &error)) {
            qWarning().noquote() << QStringLiteral("Error: attributedString is nil with error %1")
                                        .arg(error.localizedDescription());
            return;
        }
        const QVariant background = attributes.value(NSBackgroundColorDocumentAttribute);
        m_background = background.canConvert<Color>() ? background.value<Color>() : Color::rgb(1, 1, 1);
        m_text = std::move(text);
        // The note as written is for a light appearance; the colours are converted from there.
        m_wasDarkModePreviously = false;
        updateColors();
    }
    render();
}

void OVWhatsNewWindowController::updateColors()
{
    const bool dark = isDarkMode();
    // Nothing to do only when the appearance is the one converted for and the background already
    // suits it: a note loaded while dark still has its light background and is converted.
    const bool backgroundIsDark = toQColor(m_background).lightness() < 128;
    if (dark == m_wasDarkModePreviously && (!dark || backgroundIsDark)) {
        render();
        return;
    }
    if (dark != backgroundIsDark) {
        invertGreys(m_text);
        m_background = inverseColor(m_background);
    }
    m_wasDarkModePreviously = dark;
    render();
}

void OVWhatsNewWindowController::render()
{
    if (!m_textView)
        return;
    QPalette palette = m_textView->palette();
    palette.setColor(QPalette::Base, toQColor(m_background));
    m_textView->setPalette(palette);
    OVShowAttributedText(*m_textView, m_text);
    m_textView->verticalScrollBar()->setValue(0);
}

void OVWhatsNewWindowController::showWindow()
{
    QWidget* shown = window();
    FloatingWindows::openAbove(*shown);
    shown->show();
    shown->raise();
    shown->activateWindow();
    if (m_text.length() == 0)
        notesPopUpButtonAction();
    if (isDarkMode())
        updateColors();
    // Laid out only now that it shows: the note opens at its top all the same.
    m_textView->verticalScrollBar()->setValue(0);
}

void OVWhatsNewWindowController::close()
{
    if (m_window)
        m_window->close();
}
