#include "preferences/OVKeyGroup.h"

#include "preferences/OVKeyField.h"
#include "preferences/OVUnicharToStringTransformer.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

namespace {

constexpr QSize kClearButtonSize(14, 20);
constexpr int kClearButtonGap = 6;
constexpr double kClearButtonAlpha = 0.3;
constexpr double kClearButtonPressedAlpha = 0.5;

std::function<void()>& beeper()
{
    static std::function<void()> handler;
    return handler;
}

QPixmap faded(const QIcon& icon, double alpha)
{
    const QPixmap source = icon.pixmap(QSize(12, 12));
    QPixmap result(source.size());
    result.setDevicePixelRatio(source.devicePixelRatio());
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setOpacity(alpha);
    painter.drawPixmap(0, 0, source);
    return result;
}

} // namespace

OVKeyGroup::OVKeyGroup(QObject* parent) : QObject(parent)
{
    m_keyFields.reserve(5);
    m_clearFieldButton = new QToolButton;
    m_clearFieldButton->setObjectName(QStringLiteral("clearFieldButton"));
    m_clearFieldButton->setFixedSize(kClearButtonSize);
    m_clearFieldButton->setAutoRaise(true);
    // Clicking it must leave the focus (and so the button) on the field it clears.
    m_clearFieldButton->setFocusPolicy(Qt::NoFocus);
    m_clearFieldButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_clearFieldButton->setStyleSheet(QStringLiteral("QToolButton { border: none; }"));
    const QIcon stop = QApplication::style()->standardIcon(QStyle::SP_LineEditClearButton);
    QIcon icon;
    icon.addPixmap(faded(stop, kClearButtonAlpha), QIcon::Normal);
    icon.addPixmap(faded(stop, kClearButtonPressedAlpha), QIcon::Active);
    m_clearFieldButton->setIcon(icon);
    m_clearFieldButton->hide();
    QObject::connect(m_clearFieldButton.data(), &QToolButton::clicked, this, [this] { clearButtonAction(); });
}

OVKeyGroup::~OVKeyGroup()
{
    // The button lives in a field's superview once shown; without one it is the group's alone.
    if (m_clearFieldButton && !m_clearFieldButton->parent())
        delete m_clearFieldButton.data();
}

void OVKeyGroup::addKeyField(OVKeyField* field)
{
    if (!field)
        return;
    m_keyFields.push_back(field);
    updateUserInfoForKeyField(field);
    field->setKeyGroup(this);
}

QString OVKeyGroup::stringForRepresentedObject(unsigned short code) const
{
    return OVUnicharToStringTransformer::transformedValue(code);
}

unsigned short OVKeyGroup::representedObjectForString(const QString& string) const
{
    if (m_forceUppercaseCharacters && string.size() == 1 && string.at(0).isLower()) {
        // Per character: a letter whose upper case is more than one character (the sharp s) keeps
        // its own code rather than becoming the first letter of its upper case.
        const QChar upper = string.at(0).toUpper();
        if (upper != string.at(0))
            return representedObjectForUnmodifiedString(QString(upper));
    }
    return representedObjectForUnmodifiedString(string);
}

unsigned short OVKeyGroup::representedObjectForUnmodifiedString(const QString& string) const
{
    return OVUnicharToStringTransformer::reverseTransformedValue(string);
}

std::optional<unsigned short>
OVKeyGroup::representedObjectForStringFirstCharacterOnly(const QString& string) const
{
    if (string.isEmpty())
        return representedObjectForString(string);
    const QChar last = string.back();
    if (last.isSurrogate())
        return std::nullopt;
    return representedObjectForString(QString(last));
}

bool OVKeyGroup::permitRepresentedObject(unsigned short code, const OVKeyField* field) const
{
    if (m_exclusions.contains(code))
        return false;
    if (!field || code == 0)
        return true;
    for (const OVKeyField* other : m_keyFields) {
        if (other != field && other->representedObject() == code)
            return false;
    }
    return true;
}

OVKeyField* OVKeyGroup::fieldForRepresentedObject(unsigned short code) const
{
    for (OVKeyField* field : m_keyFields) {
        if (field->representedObject() == code)
            return field;
    }
    return nullptr;
}

void OVKeyGroup::updateUserInfoForKeyField(OVKeyField* field)
{
    if (field && !field->userInfoKey().isEmpty())
        m_userInfo.insert(field->userInfoKey(), int(field->representedObject()));
}

void OVKeyGroup::updateClearButtonForKeyField(OVKeyField* field)
{
    if (!m_clearFieldButton)
        return;
    if (!field || field->representedObject() == 0 || !field->parentWidget()) {
        m_clearFieldButton->hide();
        m_clearButtonField = nullptr;
        return;
    }
    if (m_clearFieldButton->parentWidget() != field->parentWidget())
        m_clearFieldButton->setParent(field->parentWidget());
    const QRect frame = field->geometry();
    const int x = frame.x() + frame.width() + kClearButtonGap;
    const int y = frame.y() + (frame.height() - kClearButtonSize.height()) / 2;
    m_clearFieldButton->move(x, y);
    m_clearFieldButton->raise();
    m_clearFieldButton->show();
    m_clearButtonField = field;
}

void OVKeyGroup::clearButtonAction()
{
    OVKeyField* field = m_clearButtonField;
    // No key is always allowed; the focus stays on the emptied field.
    if (field)
        field->setRepresentedObject(0);
    updateClearButtonForKeyField(nullptr);
}

void OVKeyGroup::setExclusions(const QList<unsigned short>& exclusions)
{
    m_exclusions = exclusions;
    QVariantList list;
    for (unsigned short code : exclusions)
        list << int(code);
    m_userInfo.insert(OVKeyGroupExclusionsKey, list);
    for (OVKeyField* field : m_keyFields) {
        if (field->representedObject() != 0 && exclusions.contains(field->representedObject()))
            field->setRepresentedObject(0);
    }
}

void OVKeyGroup::setBeeper(std::function<void()> handler)
{
    beeper() = std::move(handler);
}

void OVKeyGroup::beep()
{
    if (beeper())
        beeper()();
    else
        QApplication::beep();
}
