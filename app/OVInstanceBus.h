#pragma once

#include "app/OVSingleInstance.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

class QDBusMessage;

// The session bus as the way a later start reaches the running program: the running one owns a
// well-known name and answers the desktop's application interface (Open, Activate and
// ActivateAction) there; a later start calls it and ends. Whatever arrives is turned into the same
// request the local socket carries and goes to the same handler, so both ways are checked alike.
class OVInstanceBus : public QObject {
public:
    using Request = OVSingleInstance::Request;
    using Handler = OVSingleInstance::Handler;

    // Everything on the bus derives from this one identifier.
    static constexpr const char* kApplicationId = "org.orvane.Orvane";
    static constexpr const char* kObjectPath = "/org/orvane/Orvane";
    static constexpr const char* kInterface = "org.freedesktop.Application";
    // The error an Open that opened nothing answers with.
    static constexpr const char* kOpenFailedError = "org.orvane.Orvane.Error.OpenFailed";
    static constexpr const char* kRefusedError = "org.freedesktop.DBus.Error.InvalidArgs";
    // The desktop entry's action a later start with only --new-document asks for.
    static constexpr const char* kNewDocumentAction = "new-document";
    // A URI longer than this cannot name a path within the path bound, even with every byte escaped.
    static constexpr int kMaximumUriLength = OVSingleInstance::kMaximumPathBytes * 3 + 32;

    // The name for the settings folder the program uses now: the identifier itself for the user's
    // usual folder, with a suffix from the folder otherwise, so runs on a folder of their own (tests,
    // a second profile) never reach the user's everyday program.
    static QString serviceName();

    // Reads the URIs of an Open call: only file URIs of absolute local paths, valid UTF-8 once
    // unescaped, within the count and length bounds. Empty, with the reason in why, for anything
    // else; one bad URI refuses the whole call, as the socket refuses a whole message.
    static std::optional<Request> requestFromUris(const QStringList& uris, QString* why = nullptr);
    static QStringList urisFromPaths(const QStringList& paths);

    // Hands request to the program owning service and answers its reply (0 handled, 2 failed,
    // OVSingleInstance::kReplyPending when it gave none in time); empty when there is no bus or
    // nobody owns the name.
    static std::optional<int>
    sendToRunningInstance(const Request& request, const QString& service = serviceName(),
                          int timeoutMilliseconds = OVSingleInstance::kAnswerTimeoutMilliseconds);

    explicit OVInstanceBus(Handler handler);
    ~OVInstanceBus() override;

    enum class Registration { Registered, NoBus, NameTaken };
    // Starts answering under service on the session bus.
    Registration registerOnBus(const QString& service = serviceName());
    bool isRegistered() const { return !m_service.isEmpty(); }

    // Serves one call of the interface; the object the bus delivers to forwards here.
    void serve(const QDBusMessage& call);

private:
    Handler m_handler;
    QString m_service;
    std::unique_ptr<QObject> m_exported;
};
