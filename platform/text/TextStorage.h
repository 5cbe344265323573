#pragma once

#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextStorageEdit.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Posted on the shared notification centre (object: the storage) after the will-process and the
// did-process observers ran, while editedMask(), editedRange() and changeInLength() still describe
// the edit. Only edits on the main thread are announced there.
inline const QString kTextStorageWillProcessEditingNotification =
    QStringLiteral("NSTextStorageWillProcessEditingNotification");
inline const QString kTextStorageDidProcessEditingNotification =
    QStringLiteral("NSTextStorageDidProcessEditingNotification");

// The attributed string behind a text view. It gathers the edits made between beginEditing and
// endEditing (or a single edit outside such a bracket) into one edit, then processes it: will-process
// observers may still change characters and attributes, paragraph styles and attachments are fixed,
// did-process observers may still change attributes, and finally edit observers (layout, mirrored
// copies) see the whole edit. Edits made by edit observers become the next edit, processed after them.
class TextStorage : public MutableAttributedString {
public:
    enum class Phase { WillProcessEditing, DidProcessEditing, Edited };
    using Observer = std::function<void(TextStorage& storage, const TextStorageEdit& edit)>;
    using ObserverToken = quint64;

    TextStorage() = default;
    explicit TextStorage(const QString& string, const AttributeDictionary& attributes = {});
    explicit TextStorage(const AttributedString& attributedString);
    TextStorage(const TextStorage&) = delete;
    TextStorage& operator=(const TextStorage&) = delete;
    ~TextStorage() override;

    void beginEditing() override;
    void endEditing() override;
    // Records an edit: range in the text before it, changeInLength how much the text grew. Outside a
    // beginEditing bracket the edit is processed at once.
    void edited(unsigned editedMask, const Range& range, qsizetype changeInLength) override;
    void processEditing();

    // The edit being gathered or processed; mask 0 and location kNotFound when there is none.
    unsigned editedMask() const { return m_pending.editedMask; }
    Range editedRange() const { return m_pending.editedRange; }
    qsizetype changeInLength() const { return m_pending.changeInLength; }
    bool isEditing() const { return m_editingDepth > 0; }

    // Observers are called in the order they were added within their phase. A token stays valid until
    // removed; removing one during delivery stops its calls at once.
    ObserverToken addObserver(Phase phase, Observer observer);
    void removeObserver(ObserverToken token);

private:
    struct Registration {
        ObserverToken token;
        Phase phase;
        std::shared_ptr<Observer> observer;
    };

    void deliver(Phase phase);
    static void accumulate(TextStorageEdit& edit, unsigned editedMask, const Range& range,
                           qsizetype changeInLength);

    TextStorageEdit m_pending;
    // Edits made while edit observers run; they form the next edit.
    TextStorageEdit m_next;
    int m_editingDepth = 0;
    bool m_processing = false;
    bool m_deliveringEdited = false;
    std::vector<Registration> m_observers;
    ObserverToken m_lastToken = 0;
};
