// Carries out one ferixdncctl command against a running FerixDNC and prints its outcome.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantList>
#include <cstdio>
#include <optional>

#include "dnc/automation/BusTypes.h"

#include "tools/ferixdncctl/CtlArguments.h"
#include "tools/ferixdncctl/ExitStatus.h"

namespace ferixdncctl {

class Client : public QObject {
    Q_OBJECT

public:
    Client(CtlArguments arguments, QDBusConnection connection);

    // Runs the command; returns the exit status.
    int run();

public slots:
    // Signals of the service (the message tells which object sent them).
    void onProgress(uchar progress, const QDBusMessage& message);
    void onError(bool operatorRequest, const QString& description, const QDBusMessage& message);
    void onMemoryChanged(uchar unit, const QDBusMessage& message);
    void onDirectoryChanged(uchar unit, const QDBusMessage& message);
    void onTransferRunning(bool running, uchar direction, const QDBusMessage& message);
    void onCommunicationChanged(bool active, const QDBusMessage& message);
    void onSubNetStarted(qint16 subNet);
    void onSubNetClosed(qint16 subNet);
    void onBar(uchar progress);

private:
    QString subNetPath() const;
    // Calls a method, waiting as long as it takes (Ctrl-C stops a running transfer). Fails
    // with the status and the reason on standard error.
    bool call(const QString& path, const QString& interface, const QString& method,
              const QVariantList& arguments, QDBusMessage& reply, int& status);
    // The manager's list of sub nets; nullopt with `status` set when the call failed.
    std::optional<dnc::bus::SubNetRows> subNets(int& status);
    int list();
    int decide(const char* method, const char* outcome);
    int manage(const char* method, const char* outcome);
    int request(const char* method, const QVariantList& arguments, bool withBar);
    int memoryList();
    int watch();
    void connectSubNetSignals(const QString& path);
    void printEvent(int subNet, const QString& signal, const QString& text,
                    const QVariantMap& values);
    void done(const QVariantMap& values, const QString& text);
    static int subNetOf(const QDBusMessage& message);

    CtlArguments arguments_;
    QDBusConnection connection_;
    QString destination_;
    bool barShown_ = false;
    bool bar_ = false;
};

}  // namespace ferixdncctl
