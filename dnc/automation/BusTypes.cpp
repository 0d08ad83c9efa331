#include "dnc/automation/BusTypes.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace dnc::bus {

void registerBusTypes() {
    // Answers and errors travel between Qt's D-Bus thread and the caller's as queued values;
    // this Qt registers them only on first use, too late for an error that comes first.
    qRegisterMetaType<QDBusMessage>();
    qRegisterMetaType<QDBusError>();
    qDBusRegisterMetaType<SubNetRow>();
    qDBusRegisterMetaType<SubNetRows>();
    qDBusRegisterMetaType<MemoryFile>();
    qDBusRegisterMetaType<MemoryFiles>();
    qDBusRegisterMetaType<RevisionEntry>();
    qDBusRegisterMetaType<RevisionEntries>();
}

}  // namespace dnc::bus

QDBusArgument& operator<<(QDBusArgument& argument, const dnc::bus::SubNetRow& row) {
    argument.beginStructure();
    argument << row.number << row.caption << row.running << row.startUp;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, dnc::bus::SubNetRow& row) {
    argument.beginStructure();
    argument >> row.number >> row.caption >> row.running >> row.startUp;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const dnc::bus::MemoryFile& file) {
    argument.beginStructure();
    argument << file.name << file.size;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, dnc::bus::MemoryFile& file) {
    argument.beginStructure();
    argument >> file.name >> file.size;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const dnc::bus::RevisionEntry& e) {
    argument.beginStructure();
    argument << e.id << e.name << e.unit << e.state << e.source << e.size << e.time << e.sha256
             << e.user << e.note;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, dnc::bus::RevisionEntry& e) {
    argument.beginStructure();
    argument >> e.id >> e.name >> e.unit >> e.state >> e.source >> e.size >> e.time >> e.sha256 >>
        e.user >> e.note;
    argument.endStructure();
    return argument;
}
