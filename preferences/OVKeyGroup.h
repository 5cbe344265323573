#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QToolButton>
#include <QVariantMap>

#include <functional>
#include <optional>
#include <vector>

class OVKeyField;

// The user-info entry that holds a group's exclusions.
inline const QString OVKeyGroupExclusionsKey = QStringLiteral("OVKeyGroupExclusionsKey");

// Hears of a key a field of the group refused.
class OVKeyGroupDelegate {
public:
    virtual ~OVKeyGroupDelegate() = default;
    // key is the refused key as the fields show it; existsForKeyField the field that holds it, or
    // null when the key is excluded.
    virtual void duplicateKey(const QString& key, OVKeyField* existsForKeyField) = 0;
};

// The key fields of one pane: no two hold the same key, excluded keys are refused, and the field
// being edited shows a clear button to its right. The platform's field editor and the window
// delegate that handed it out have no counterpart here: each field takes its key presses itself.
class OVKeyGroup : public QObject {
public:
    explicit OVKeyGroup(QObject* parent = nullptr);
    ~OVKeyGroup() override;

    QToolButton* clearFieldButton() const { return m_clearFieldButton.data(); }
    const std::vector<OVKeyField*>& keyFields() const { return m_keyFields; }
    // Null is ignored. The field joins the group for good.
    void addKeyField(OVKeyField* field);

    // Codes and what the fields show for them.
    QString stringForRepresentedObject(unsigned short code) const;
    // A single lower-case letter is upper-cased first when the group asks for it.
    unsigned short representedObjectForString(const QString& string) const;
    unsigned short representedObjectForUnmodifiedString(const QString& string) const;
    // The code of the last character of what was typed (the empty string gives 0); nothing when
    // that character lies outside 16 bits, which no hot key can hold.
    std::optional<unsigned short> representedObjectForStringFirstCharacterOnly(const QString& string) const;

    // Excluded codes never; no key, or a field outside any group, always; else only a code no other
    // field holds.
    bool permitRepresentedObject(unsigned short code, const OVKeyField* field) const;
    OVKeyField* fieldForRepresentedObject(unsigned short code) const;

    void updateUserInfoForKeyField(OVKeyField* field);
    // Shows the clear button right of a field holding a key; hides it otherwise (null included).
    void updateClearButtonForKeyField(OVKeyField* field);
    // Empties the field the button shows for and hides it.
    void clearButtonAction();

    const QList<unsigned short>& exclusions() const { return m_exclusions; }
    // Fields holding a newly excluded code lose it (and so do their settings).
    void setExclusions(const QList<unsigned short>& exclusions);

    // userInfoKey to code for every field with both, and the exclusions.
    const QVariantMap& userInfo() const { return m_userInfo; }

    OVKeyGroupDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVKeyGroupDelegate* delegate) { m_delegate = delegate; }
    bool forceUppercaseCharacters() const { return m_forceUppercaseCharacters; }
    void setForceUppercaseCharacters(bool flag) { m_forceUppercaseCharacters = flag; }

    // Where a refused key's beep goes; tests count them. Empty for the system's beep.
    static void setBeeper(std::function<void()> beeper);
    static void beep();

private:
    // Owned by the group until shown, then by the field's superview, which may go first.
    QPointer<QToolButton> m_clearFieldButton;
    std::vector<OVKeyField*> m_keyFields;
    QVariantMap m_userInfo;
    QList<unsigned short> m_exclusions;
    OVKeyGroupDelegate* m_delegate = nullptr;
    bool m_forceUppercaseCharacters = true;
    QPointer<OVKeyField> m_clearButtonField;
};
