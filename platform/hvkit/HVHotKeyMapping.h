#pragma once

#include <QString>
#include <QVariant>

// Ties one hot key, as its 16-bit character code, to the action it sends along the responder chain
// and the sender that goes with it. options 1 marks the number keys, whose responders refuse Option.
class HVHotKeyMapping {
public:
    static constexpr unsigned kOptionsNone = 0;
    static constexpr unsigned kOptionsNumberKey = 1;

    static HVHotKeyMapping mappingWithHotKeyValue(unsigned hotKeyValue, const QString& action,
                                                  const QVariant& object, const QString& analyticsKey,
                                                  unsigned options)
    {
        return HVHotKeyMapping(hotKeyValue, action, object, analyticsKey, options);
    }

    HVHotKeyMapping(unsigned hotKeyValue, QString action, QVariant object, QString analyticsKey,
                    unsigned options)
        : m_hotKeyValue(hotKeyValue), m_action(std::move(action)), m_object(std::move(object)),
          m_analyticsKey(std::move(analyticsKey)), m_options(options)
    {
    }

    unsigned hotKeyValue() const { return m_hotKeyValue; }
    const QString& action() const { return m_action; }
    const QVariant& object() const { return m_object; }
    // Empty when the key's uses are not counted.
    const QString& analyticsKey() const { return m_analyticsKey; }
    unsigned options() const { return m_options; }

private:
    unsigned m_hotKeyValue;
    QString m_action;
    QVariant m_object;
    QString m_analyticsKey;
    unsigned m_options;
};
