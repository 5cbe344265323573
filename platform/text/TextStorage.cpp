#include "platform/text/TextStorage.h"

#include "platform/foundation/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>

namespace {

void postOnMainThread(const QString& name, const TextStorage* storage)
{
    // A storage edited on a worker thread (a companion reading files) has no observers to tell, and a
    // queued notice could outlive it.
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread())
        return;
    NotificationCenter::shared().postNotification(name, storage);
}

} // namespace

TextStorage::TextStorage(const QString& string, const AttributeDictionary& attributes)
    : MutableAttributedString(string, attributes)
{
}

TextStorage::TextStorage(const AttributedString& attributedString) : MutableAttributedString(attributedString)
{
}

TextStorage::~TextStorage() = default;

void TextStorage::beginEditing()
{
    ++m_editingDepth;
}

void TextStorage::endEditing()
{
    if (m_editingDepth == 0)
        return;
    if (--m_editingDepth == 0 && m_pending.editedMask != 0)
        processEditing();
}

void TextStorage::accumulate(TextStorageEdit& edit, unsigned editedMask, const Range& range,
                             qsizetype changeInLength)
{
    if (edit.editedMask == 0) {
        edit.editedRange = Range{range.location, range.length + changeInLength};
        edit.changeInLength = changeInLength;
    } else {
        // Both ranges are in the text as it stands before this edit; their union, grown by this
        // edit's change in length, covers every character changed so far in the text after it.
        qsizetype from = std::min(edit.editedRange.location, range.location);
        qsizetype to = std::max(edit.editedRange.end(), range.end());
        edit.editedRange = Range{from, to - from + changeInLength};
        edit.changeInLength += changeInLength;
    }
    edit.editedMask |= editedMask;
}

void TextStorage::edited(unsigned editedMask, const Range& range, qsizetype changeInLength)
{
    if (editedMask == 0)
        return;
    accumulate(m_deliveringEdited ? m_next : m_pending, editedMask, range, changeInLength);
    if (m_editingDepth == 0 && !m_processing)
        processEditing();
}

void TextStorage::processEditing()
{
    // Edits made by will- and did-process observers join the edit being processed.
    if (m_processing)
        return;
    m_processing = true;
    while (m_pending.editedMask != 0) {
        deliver(Phase::WillProcessEditing);
        postOnMainThread(kTextStorageWillProcessEditingNotification, this);
        fixAttributes(m_pending.editedRange);
        deliver(Phase::DidProcessEditing);
        postOnMainThread(kTextStorageDidProcessEditingNotification, this);
        m_deliveringEdited = true;
        deliver(Phase::Edited);
        m_deliveringEdited = false;
        m_pending = std::exchange(m_next, TextStorageEdit());
        if (m_editingDepth > 0)
            break;
    }
    m_processing = false;
}

void TextStorage::deliver(Phase phase)
{
    std::vector<std::pair<ObserverToken, std::shared_ptr<Observer>>> targets;
    for (const Registration& registration : m_observers)
        if (registration.phase == phase)
            targets.emplace_back(registration.token, registration.observer);
    for (const auto& target : targets) {
        ObserverToken token = target.first;
        bool stillRegistered = std::any_of(m_observers.begin(), m_observers.end(),
                                           [token](const Registration& r) { return r.token == token; });
        if (stillRegistered)
            (*target.second)(*this, m_pending);
    }
}

TextStorage::ObserverToken TextStorage::addObserver(Phase phase, Observer observer)
{
    ObserverToken token = ++m_lastToken;
    m_observers.push_back(Registration{token, phase, std::make_shared<Observer>(std::move(observer))});
    return token;
}

void TextStorage::removeObserver(ObserverToken token)
{
    std::erase_if(m_observers, [&](const Registration& r) { return r.token == token; });
}
