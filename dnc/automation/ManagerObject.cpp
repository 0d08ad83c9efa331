#include "dnc/automation/ManagerObject.h"

#include <QDBusMessage>

#include "dnc/automation/BusNames.h"
#include "dnc/config/SubNetConfiguration.h"

namespace dnc::automation {

QList<bus::SubNetRow> ManagerObject::SubNets() {
    QList<bus::SubNetRow> rows;
    for (const SubNetEntry& entry : network_.subNetEntries()) {
        rows.append(bus::SubNetRow{static_cast<qint16>(entry.number),
                                   QString::fromStdString(entry.caption), entry.running,
                                   entry.startUp});
    }
    return rows;
}

void ManagerObject::announce(const char* signal, int subNet) {
    QDBusMessage message = QDBusMessage::createSignal(QString::fromLatin1(bus::kManagerPath),
                                                      QString::fromLatin1(bus::kManagerInterface),
                                                      QString::fromLatin1(signal));
    message << QVariant::fromValue(static_cast<qint16>(subNet));
    connection_.send(message);
}

bool ManagerObject::refused(qint16 subNet) {
    if (subNet < 1 || subNet > kSubNetCount) {
        sendErrorReply(
            bus::kInvalidArgs,
            QStringLiteral("sub net %1 is outside 1 to %2").arg(subNet).arg(kSubNetCount));
        return true;
    }
    return false;
}

void ManagerObject::Start(qint16 subNet) {
    if (!refused(subNet)) {
        network_.startSubNet(subNet);
    }
}

void ManagerObject::Stop(qint16 subNet) {
    if (!refused(subNet)) {
        network_.stopSubNet(subNet);
    }
}

void ManagerObject::Show(qint16 subNet) {
    if (!refused(subNet) && !network_.showSubNet(subNet)) {
        sendErrorReply(bus::kNotSupported,
                       QStringLiteral("FerixDNC runs without windows: sub net %1 has none to show")
                           .arg(subNet));
    }
}

void ManagerObject::Hide(qint16 subNet) {
    if (!refused(subNet) && !network_.hideSubNet(subNet)) {
        sendErrorReply(bus::kNotSupported,
                       QStringLiteral("FerixDNC runs without windows: sub net %1 has none to hide")
                           .arg(subNet));
    }
}

}  // namespace dnc::automation
