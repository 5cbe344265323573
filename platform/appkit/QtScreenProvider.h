#pragma once

#include "platform/appkit/ScreenProvider.h"

#include <QObject>
#include <QRect>

class QScreen;

// The screens Qt reports, converted to the global y-up convention.
class QtScreenProvider final : public QObject, public ScreenProvider {
    Q_OBJECT
public:
    QtScreenProvider();

    std::vector<Screen> screens() const override;
    QPointF primaryQtTopLeft() const override;

    // The conversion itself, apart from any QScreen, so it can be checked with any layout.
    static Screen screenFromQtGeometry(const QString& name, const QString& serialNumber,
                                       const QRect& geometry, const QRect& availableGeometry,
                                       const QRect& primaryGeometry, double devicePixelRatio,
                                       double refreshRate);

private:
    // Connects to Qt's screen signals once a GUI application exists; the provider may be made earlier.
    void connectIfPossible() const;
    void watch(QScreen* screen) const;

    mutable bool m_connected = false;
};
