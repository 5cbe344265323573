#pragma once

#include "platform/hvkit/HVInitialDefaultsProvider.h"

#include <QString>
#include <QWidget>

class HVSettingsController;
class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QSlider;
class QVBoxLayout;
class UserDefaults;

// One pane of the settings window. It joins the settings controller's reset of all settings for
// as long as it lives, hears when it is shown and about to be hidden, and keeps its advanced
// controls in a section of their own below the others. Subclasses build their controls in code
// into contentLayout() and advancedLayout().
class HVSettingsViewController : public QWidget, public HVInitialDefaultsProvider {
public:
    explicit HVSettingsViewController(QWidget* parent = nullptr,
                                      HVSettingsController* settingsController = nullptr);
    ~HVSettingsViewController() override;

    // The window shows the pane (again), or is about to hide it.
    virtual void settingsDidShow() {}
    virtual void settingsWillHide() {}

    QWidget* advancedView() const { return m_advancedView; }
    // The advanced section shows only when the window asks for it.
    void setAdvancedSectionVisible(bool visible);

protected:
    // A pane with nothing in its advanced section shows no empty frame for it.
    void showEvent(QShowEvent* event) override;
    QVBoxLayout* contentLayout() const { return m_contentLayout; }
    QVBoxLayout* advancedLayout() const { return m_advancedLayout; }

private:
    HVSettingsController* m_settingsController = nullptr;
    QVBoxLayout* m_contentLayout = nullptr;
    QWidget* m_advancedView = nullptr;
    QVBoxLayout* m_advancedLayout = nullptr;
};

// Two-way links between a control and a user-defaults key: the control shows the key's value,
// follows changes made elsewhere (another control, a reset, an import) and stores what the user
// chooses. A link lasts as long as its control.
namespace HVDefaultsBinding {

// On for true.
void bindCheckBox(QCheckBox* box, const QString& key, UserDefaults& defaults);
// A checkable menu item, the same way.
void bindCheckableAction(QAction* action, const QString& key, UserDefaults& defaults);
// The item whose data equals the value (numbers compared as numbers) is selected; none when no
// item matches. The chosen item's data is stored.
void bindComboBox(QComboBox* box, const QString& key, UserDefaults& defaults);
// An integer slider over an integer or real key; reals are rounded to the slider's steps.
void bindSlider(QSlider* slider, const QString& key, UserDefaults& defaults);
// Text, stored when editing finishes.
void bindLineEdit(QLineEdit* field, const QString& key, UserDefaults& defaults);

} // namespace HVDefaultsBinding
