#include "dnc/automation/BusTypes.h"

#include <QDBusMetaType>

namespace dnc::bus {

void registerBusTypes() {
    qDBusRegisterMetaType<SubNetRow>();
    qDBusRegisterMetaType<SubNetRows>();
    qDBusRegisterMetaType<MemoryFile>();
    qDBusRegisterMetaType<MemoryFiles>();
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
