#pragma once

#include <QString>

// Names of the notifications the platform layer posts on the shared NotificationCenter, spelled as
// the platform spells them. The object is the Window, View or Application concerned.

inline const QString kWindowDidResizeNotification = QStringLiteral("NSWindowDidResizeNotification");
inline const QString kWindowDidMoveNotification = QStringLiteral("NSWindowDidMoveNotification");
inline const QString kWindowDidChangeScreenNotification =
    QStringLiteral("NSWindowDidChangeScreenNotification");
inline const QString kWindowDidBecomeKeyNotification = QStringLiteral("NSWindowDidBecomeKeyNotification");
inline const QString kWindowDidResignKeyNotification = QStringLiteral("NSWindowDidResignKeyNotification");
inline const QString kWindowDidBecomeMainNotification = QStringLiteral("NSWindowDidBecomeMainNotification");
inline const QString kWindowDidResignMainNotification = QStringLiteral("NSWindowDidResignMainNotification");
// Object: the window whose first responder changed.
inline const QString kWindowDidChangeFirstResponderNotification =
    QStringLiteral("HVWindowDidChangeFirstResponderNotification");
inline const QString kWindowWillBeginSheetNotification = QStringLiteral("NSWindowWillBeginSheetNotification");
inline const QString kWindowDidEndSheetNotification = QStringLiteral("NSWindowDidEndSheetNotification");
inline const QString kWindowWillStartLiveResizeNotification =
    QStringLiteral("NSWindowWillStartLiveResizeNotification");
inline const QString kWindowDidEndLiveResizeNotification =
    QStringLiteral("NSWindowDidEndLiveResizeNotification");
inline const QString kWindowWillCloseNotification = QStringLiteral("NSWindowWillCloseNotification");
inline const QString kWindowDidMiniaturizeNotification = QStringLiteral("NSWindowDidMiniaturizeNotification");
inline const QString kWindowDidDeminiaturizeNotification =
    QStringLiteral("NSWindowDidDeminiaturizeNotification");
inline const QString kWindowDidEnterFullScreenNotification =
    QStringLiteral("NSWindowDidEnterFullScreenNotification");
inline const QString kWindowDidExitFullScreenNotification =
    QStringLiteral("NSWindowDidExitFullScreenNotification");

inline const QString kViewFrameDidChangeNotification = QStringLiteral("NSViewFrameDidChangeNotification");
inline const QString kViewBoundsDidChangeNotification = QStringLiteral("NSViewBoundsDidChangeNotification");

inline const QString kApplicationDidChangeScreenParametersNotification =
    QStringLiteral("NSApplicationDidChangeScreenParametersNotification");
inline const QString kApplicationDidBecomeActiveNotification =
    QStringLiteral("NSApplicationDidBecomeActiveNotification");
inline const QString kApplicationDidResignActiveNotification =
    QStringLiteral("NSApplicationDidResignActiveNotification");
