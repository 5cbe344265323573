#include "platform/textview/FindBar.h"

#include "platform/appkit/ScrollView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/textview/TextView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace {

constexpr int kPanelHeight = 34;

// A line edit that reports Escape, so the bar closes from inside its fields, and keeps every key.
class FindField : public QLineEdit {
public:
    explicit FindField(std::function<void()> escape) : m_escape(std::move(escape)) {}

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape) {
            m_escape();
            return;
        }
        QLineEdit::keyPressEvent(event);
        // Keys the field leaves (Return after its signal) must not fall through to the text view.
        event->accept();
    }

private:
    std::function<void()> m_escape;
};

} // namespace

FindBar::FindBar(TextView& textView) : m_textView(textView) {}

FindBar::~FindBar() = default;

void FindBar::show()
{
    if (m_visible)
        return;
    m_visible = true;
    showPanel();
    if (m_visibilityHandler)
        m_visibilityHandler(true);
}

void FindBar::hide()
{
    if (!m_visible)
        return;
    m_visible = false;
    if (m_panel)
        m_panel->hide();
    if (Window* window = m_textView.window()) {
        if (QWidget* host = window->hostWidget())
            host->setFocus();
    }
    if (m_visibilityHandler)
        m_visibilityHandler(false);
}

void FindBar::showPanel()
{
    Window* window = m_textView.window();
    QWidget* host = window ? window->hostWidget() : nullptr;
    if (!host)
        return;
    if (!m_panel) {
        m_panel = std::make_unique<QWidget>(host);
        m_panel->setAutoFillBackground(true);
        auto* layout = new QHBoxLayout(m_panel.get());
        layout->setContentsMargins(6, 3, 6, 3);
        auto* findField = new FindField([this] { hide(); });
        findField->setObjectName(QStringLiteral("find"));
        findField->setPlaceholderText(QStringLiteral("Find"));
        findField->setClearButtonEnabled(true);
        auto* replaceField = new FindField([this] { hide(); });
        replaceField->setObjectName(QStringLiteral("replace"));
        replaceField->setPlaceholderText(QStringLiteral("Replace"));
        auto button = [&](const QString& name, const QString& title) {
            auto* created = new QPushButton(title);
            created->setObjectName(name);
            created->setAutoDefault(false);
            return created;
        };
        QPushButton* previous = button(QStringLiteral("previous"), QStringLiteral("<"));
        QPushButton* next = button(QStringLiteral("next"), QStringLiteral(">"));
        QPushButton* replaceButton = button(QStringLiteral("replace"), QStringLiteral("Replace"));
        QPushButton* all = button(QStringLiteral("replaceAll"), QStringLiteral("All"));
        QPushButton* done = button(QStringLiteral("done"), QStringLiteral("Done"));
        layout->addWidget(findField, 2);
        layout->addWidget(previous);
        layout->addWidget(next);
        layout->addWidget(replaceField, 2);
        layout->addWidget(replaceButton);
        layout->addWidget(all);
        layout->addWidget(done);
        QObject::connect(findField, &QLineEdit::textEdited, m_panel.get(), [this](const QString& text) {
            // Find as you type, from where the selection starts so the match grows in place.
            setFindString(text);
            const Range selection = m_textView.selectedRange();
            m_textView.setSelectedRange({selection.location, 0});
            findNext();
        });
        QObject::connect(findField, &QLineEdit::returnPressed, m_panel.get(), [this] { findNext(); });
        QObject::connect(replaceField, &QLineEdit::textEdited, m_panel.get(),
                         [this](const QString& text) { setReplaceString(text); });
        QObject::connect(replaceField, &QLineEdit::returnPressed, m_panel.get(),
                         [this] { replaceAndFind(); });
        QObject::connect(previous, &QPushButton::clicked, m_panel.get(), [this] { findPrevious(); });
        QObject::connect(next, &QPushButton::clicked, m_panel.get(), [this] { findNext(); });
        QObject::connect(replaceButton, &QPushButton::clicked, m_panel.get(), [this] { replaceAndFind(); });
        QObject::connect(all, &QPushButton::clicked, m_panel.get(), [this] { replaceAll(); });
        QObject::connect(done, &QPushButton::clicked, m_panel.get(), [this] { hide(); });
    }
    // Over the top of the scroll view around the text, in the host widget's y-down coordinates.
    const View* area = m_textView.enclosingScrollView();
    if (!area)
        area = &m_textView;
    const Rect inWindow = area->convertRectToView(area->bounds(), nullptr);
    const double height = window->frame().size.height;
    m_panel->setGeometry(int(inWindow.minX()), int(height - inWindow.maxY()), int(inWindow.width()),
                         kPanelHeight);
    auto* findField = m_panel->findChild<QLineEdit*>(QStringLiteral("find"));
    findField->setText(m_findString);
    m_panel->show();
    m_panel->raise();
    findField->setFocus();
    findField->selectAll();
}

std::vector<Range> FindBar::matches() const
{
    std::vector<Range> result;
    if (m_findString.isEmpty())
        return result;
    const QString text = m_textView.string();
    const Qt::CaseSensitivity sensitivity = m_ignoresCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (qsizetype at = text.indexOf(m_findString, 0, sensitivity); at >= 0;
         at = text.indexOf(m_findString, at + m_findString.size(), sensitivity))
        result.push_back({at, m_findString.size()});
    return result;
}

bool FindBar::find(bool forward)
{
    if (m_findString.isEmpty())
        return false;
    const QString text = m_textView.string();
    const Qt::CaseSensitivity sensitivity = m_ignoresCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const Range selection = m_textView.selectedRange();
    qsizetype at;
    if (forward) {
        at = text.indexOf(m_findString, selection.end(), sensitivity);
        if (at < 0 && m_wraps)
            at = text.indexOf(m_findString, 0, sensitivity);
    } else {
        at =
            selection.location > 0 ? text.lastIndexOf(m_findString, selection.location - 1, sensitivity) : -1;
        // A match must end before the selection starts.
        while (at >= 0 && at + m_findString.size() > selection.location)
            at = at > 0 ? text.lastIndexOf(m_findString, at - 1, sensitivity) : -1;
        if (at < 0 && m_wraps)
            at = text.lastIndexOf(m_findString, -1, sensitivity);
    }
    if (at < 0)
        return false;
    const Range match{at, m_findString.size()};
    m_textView.setSelectedRange(match);
    m_textView.scrollRangeToVisible(match);
    return true;
}

bool FindBar::findNext()
{
    return find(true);
}

bool FindBar::findPrevious()
{
    return find(false);
}

bool FindBar::selectionMatches() const
{
    const Range selection = m_textView.selectedRange();
    if (selection.length != m_findString.size() || m_findString.isEmpty())
        return false;
    return m_textView.textStorage().substring(selection).compare(
               m_findString, m_ignoresCase ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

bool FindBar::replace()
{
    if (!selectionMatches() || !m_textView.isEditable())
        return false;
    const Range selection = m_textView.selectedRange();
    if (!m_textView.shouldChangeTextInRange(selection, m_replaceString))
        return false;
    m_textView.replaceCharactersInRange(selection, m_replaceString);
    m_textView.undoManager()->setActionName(QStringLiteral("Replace"));
    m_textView.setSelectedRange({selection.location + m_replaceString.size(), 0});
    m_textView.didChangeText();
    return true;
}

bool FindBar::replaceAndFind()
{
    replace();
    return findNext();
}

int FindBar::replaceAll()
{
    const std::vector<Range> found = matches();
    if (found.empty() || !m_textView.isEditable())
        return 0;
    QStringList strings;
    for (size_t i = 0; i < found.size(); ++i)
        strings.push_back(m_replaceString);
    if (!m_textView.shouldChangeTextInRanges(found, strings))
        return 0;
    TextStorage& storage = m_textView.textStorage();
    storage.beginEditing();
    for (auto range = found.rbegin(); range != found.rend(); ++range)
        storage.replaceCharacters(*range, m_replaceString);
    storage.endEditing();
    m_textView.undoManager()->setActionName(QStringLiteral("Replace All"));
    m_textView.setSelectedRange({found.front().location, 0});
    m_textView.didChangeText();
    return int(found.size());
}
