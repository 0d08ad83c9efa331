// The structured values of the D-Bus interface, for the service and its clients alike.
#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>

namespace dnc::bus {

// One entry of SubNets(): (nsbb).
struct SubNetRow {
    qint16 number = 0;
    QString caption;
    bool running = false;
    bool startUp = false;
};

// One program of a memory list: (si) name and size in bytes.
struct MemoryFile {
    QString name;
    qint32 size = 0;
};

// One revision of Revisions(): (xsyssxxsss).
struct RevisionEntry {
    qint64 id = 0;
    QString name;
    uchar unit = 0;
    QString state;
    QString source;
    qint64 size = 0;
    qint64 time = 0;  // microseconds since the epoch
    QString sha256;
    QString user;
    QString note;
};

using SubNetRows = QList<SubNetRow>;
using RevisionEntries = QList<RevisionEntry>;
using MemoryFiles = QList<MemoryFile>;

// Registers the types with Qt's meta-type system and D-Bus; call once before using them.
void registerBusTypes();

}  // namespace dnc::bus

QDBusArgument& operator<<(QDBusArgument& argument, const dnc::bus::SubNetRow& row);
const QDBusArgument& operator>>(const QDBusArgument& argument, dnc::bus::SubNetRow& row);
QDBusArgument& operator<<(QDBusArgument& argument, const dnc::bus::MemoryFile& file);
const QDBusArgument& operator>>(const QDBusArgument& argument, dnc::bus::MemoryFile& file);

Q_DECLARE_METATYPE(dnc::bus::SubNetRow)
QDBusArgument& operator<<(QDBusArgument& argument, const dnc::bus::RevisionEntry& entry);
const QDBusArgument& operator>>(const QDBusArgument& argument, dnc::bus::RevisionEntry& entry);

Q_DECLARE_METATYPE(dnc::bus::MemoryFile)
Q_DECLARE_METATYPE(dnc::bus::RevisionEntry)
