#include "platform/hvkit/HVSettingsViewController.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVSettingsController.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

HVSettingsViewController::HVSettingsViewController(QWidget* parent, HVSettingsController* settingsController)
    : QWidget(parent),
      m_settingsController(settingsController ? settingsController : &HVSettingsController::shared())
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    m_contentLayout = new QVBoxLayout;
    layout->addLayout(m_contentLayout);
    layout->addStretch(1);
    m_advancedView = new QFrame(this);
    m_advancedView->setObjectName(QStringLiteral("advancedView"));
    static_cast<QFrame*>(m_advancedView)->setFrameShape(QFrame::StyledPanel);
    m_advancedLayout = new QVBoxLayout(m_advancedView);
    m_advancedLayout->setContentsMargins(12, 8, 12, 8);
    layout->addWidget(m_advancedView, 0, Qt::AlignLeft);
    m_settingsController->registerDefaultsProviderForResetAll(this);
}

HVSettingsViewController::~HVSettingsViewController()
{
    m_settingsController->unregisterDefaultsProviderForResetAll(this);
}

void HVSettingsViewController::setAdvancedSectionVisible(bool visible)
{
    m_advancedView->setVisible(visible && !m_advancedLayout->isEmpty());
}

void HVSettingsViewController::showEvent(QShowEvent* event)
{
    if (m_advancedLayout->isEmpty())
        m_advancedView->hide();
    QWidget::showEvent(event);
}

namespace HVDefaultsBinding {

namespace {

// Lives as the control's child: its end ends the observation.
class Link final : public QObject {
public:
    Link(QObject* control, UserDefaults& defaults, const QString& key, std::function<void()> refresh)
        : QObject(control), m_defaults(defaults), m_refresh(std::move(refresh))
    {
        m_token = m_defaults.addObserver(key, [this](const QString&) { m_refresh(); });
        m_refresh();
    }
    ~Link() override { m_defaults.removeObserver(m_token); }

private:
    UserDefaults& m_defaults;
    std::function<void()> m_refresh;
    UserDefaults::ObserverToken m_token = 0;
};

bool sameNumber(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(a));
}

// Stores a number as the key's registered value is typed: an integer key keeps integers.
void storeNumber(UserDefaults& defaults, const QString& key, const QVariant& value)
{
    const PlistValue registered = defaults.registeredDefaults().value(key);
    const bool integral = value.typeId() == QMetaType::Int || value.typeId() == QMetaType::UInt ||
                          value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::ULongLong;
    if (registered.isReal() || (!registered.isInteger() && !integral))
        defaults.setDouble(value.toDouble(), key);
    else
        defaults.setInteger(value.toLongLong(), key);
}

} // namespace

void bindCheckBox(QCheckBox* box, const QString& key, UserDefaults& defaults)
{
    new Link(box, defaults, key, [box, key, &defaults] {
        const QSignalBlocker blocker(box);
        box->setChecked(defaults.boolForKey(key));
    });
    // Stored before any action of the pane's own runs, so its readers see the new value.
    QObject::connect(box, &QCheckBox::toggled, box, [key, &defaults](bool on) {
        if (defaults.boolForKey(key) != on)
            defaults.setBool(on, key);
    });
}

void bindCheckableAction(QAction* action, const QString& key, UserDefaults& defaults)
{
    action->setCheckable(true);
    new Link(action, defaults, key, [action, key, &defaults] {
        const QSignalBlocker blocker(action);
        action->setChecked(defaults.boolForKey(key));
    });
    QObject::connect(action, &QAction::toggled, action, [key, &defaults](bool on) {
        if (defaults.boolForKey(key) != on)
            defaults.setBool(on, key);
    });
}

void bindComboBox(QComboBox* box, const QString& key, UserDefaults& defaults)
{
    new Link(box, defaults, key, [box, key, &defaults] {
        const QSignalBlocker blocker(box);
        const double value = defaults.doubleForKey(key);
        int found = -1;
        for (int index = 0; index < box->count() && found < 0; ++index) {
            const QVariant data = box->itemData(index);
            if (data.isValid() && sameNumber(data.toDouble(), value))
                found = index;
        }
        box->setCurrentIndex(found);
    });
    QObject::connect(box, &QComboBox::activated, box, [box, key, &defaults](int index) {
        const QVariant data = box->itemData(index);
        if (data.isValid() && !sameNumber(data.toDouble(), defaults.doubleForKey(key)))
            storeNumber(defaults, key, data);
    });
}

void bindSlider(QSlider* slider, const QString& key, UserDefaults& defaults)
{
    new Link(slider, defaults, key, [slider, key, &defaults] {
        const QSignalBlocker blocker(slider);
        slider->setValue(int(std::lround(defaults.doubleForKey(key))));
    });
    QObject::connect(slider, &QSlider::valueChanged, slider, [key, &defaults](int value) {
        if (!sameNumber(defaults.doubleForKey(key), value))
            storeNumber(defaults, key, QVariant(value));
    });
}

void bindLineEdit(QLineEdit* field, const QString& key, UserDefaults& defaults)
{
    new Link(field, defaults, key, [field, key, &defaults] {
        const QSignalBlocker blocker(field);
        field->setText(defaults.stringForKey(key));
    });
    QObject::connect(field, &QLineEdit::editingFinished, field, [field, key, &defaults] {
        if (defaults.stringForKey(key) != field->text())
            defaults.setObject(PlistValue(field->text()), key);
    });
}

} // namespace HVDefaultsBinding
