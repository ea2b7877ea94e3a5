#!/usr/bin/env python3
"""Writes the simulator's recordings (simulator/recordings/*.snmprec).

The recordings are kept in the repository; this script documents how they
were made and regenerates them after a change to the device table below:

    simulator/tools/make_recordings.py simulator/recordings

snmpsim needs the records of a data file in ascending OID order; the script
sorts them numerically.
"""
import os
import sys

SYSTEM = '1.3.6.1.2.1.1'
FCMGMT = '1.3.6.1.3.94'
CONN_UNIT = FCMGMT + '.1.6.1'      # connUnitTable entry
REVS = FCMGMT + '.1.7.1'           # connUnitRevsTable entry
SENSOR = FCMGMT + '.1.8.1'         # connUnitSensorTable entry
PORT = FCMGMT + '.1.10.1'          # connUnitPortTable entry
EVENT = FCMGMT + '.1.11.1'         # connUnitEventTable entry
PORT_STAT = FCMGMT + '.4.5.1'      # connUnitPortStatTable entry
# The port statistics columns the simulated controllers answer: errors,
# frames and octets, class 3 discards, link resets, the link error kinds and
# invalid ordered sets (45, answered as not supported).
PORT_COUNTERS = [3, 4, 5, 6, 7, 28, 35, 39, 40, 41, 42, 43, 44, 45]
TRAP_REG = FCMGMT + '.2.3.1'       # trapRegTable entry

# connUnitType
TYPE_SWITCH, TYPE_GATEWAY, TYPE_STORAGE_SUBSYSTEM, TYPE_STORAGE_ACCESS = 4, 5, 11, 14
# connUnitStatus
STATUS_OK, STATUS_WARNING, STATUS_FAILED = 3, 4, 5
# connUnitPortType, connUnitPortState, connUnitPortStatus, connUnitPortTransmitterType
PT_N, PT_NL, PT_SCSI = 5, 6, 13
PS_ONLINE, PS_OFFLINE = 2, 3
PST_READY, PST_WARNING, PST_FAILURE = 3, 4, 5
TX_SHORTWAVE, TX_LONGWAVE, TX_SCSI = 4, 5, 7
# FcEventSeverity and connUnitEventType
SEV_ERROR, SEV_WARNING, SEV_NOTIFY, SEV_INFO = 5, 6, 7, 8
EV_STATUS, EV_CONFIGURATION, EV_TOPOLOGY = 3, 4, 5

# Full port rows (connUnitPortTable) for the units that have them:
# (type, state, status, transmitter, speed in KB/s, revision, vendor)
TC01_PORTS = [
    (PT_N, PS_ONLINE, PST_READY, TX_SHORTWAVE, 200000, '1.2', 'Quillane'),
    (PT_SCSI, PS_ONLINE, PST_READY, TX_SCSI, 80000, '1.2', 'Quillane'),
]
TC02_PORTS = [
    (PT_NL, PS_ONLINE, PST_READY, TX_SHORTWAVE, 200000, '2.0', 'Quillane'),
    (PT_NL, PS_ONLINE, PST_WARNING, TX_LONGWAVE, 100000, '2.0', 'Quillane'),
    (PT_SCSI, PS_ONLINE, PST_READY, TX_SCSI, 160000, '2.0', 'Quillane'),
    (PT_SCSI, PS_OFFLINE, PST_FAILURE, TX_SCSI, 0, '2.0', 'Quillane'),
]
# Recent events (connUnitEventTable): (id, real time, severity, type,
# object column of the port table or None, port, description). A
# description holds markup characters on purpose: pages must escape it.
TC01_EVENTS = [
    (41, '20261201081500', SEV_INFO, EV_CONFIGURATION, None, 0, 'Firmware 4.12.07 activated'),
    (42, '20261203142210', SEV_NOTIFY, EV_TOPOLOGY, 7, 1, 'Port 1 logged in to fabric'),
    (43, '20261206093045', SEV_INFO, EV_STATUS, None, 0, 'Self test passed'),
]
TC02_EVENTS = [
    (118, '20261130220105', SEV_INFO, EV_STATUS, None, 0, 'Controller started'),
    (119, '20261204101512', SEV_WARNING, EV_STATUS, 7, 2, 'Port 2 link speed < 2 Gb/s & negotiated to 1 Gb/s'),
    (120, '20261205171744', SEV_ERROR, EV_STATUS, 7, 4, 'Port 4 SCSI bus fault <bus reset>'),
    (121, '20261206080000', SEV_WARNING, EV_STATUS, None, 0, 'Unit status changed to warning'),
]

DEVICES = [
    {
        'name': 'tc01',
        'sysDescr': 'Quillane FTC-400 Fibre Channel tape controller, firmware 4.12.07',
        'sysObjectID': '1.3.6.1.4.1.4413.3.400',
        'units': [{
            'wwn': '10:00:00:60:45:17:2a:01',
            'type': TYPE_STORAGE_ACCESS,
            'status': STATUS_OK,
            'product': 'Quillane FTC-400 Tape Controller',
            'serial': 'FTC4-0017A201',
            'revs': [('4.12.07', 'Firmware'), ('B2', 'Controller board')],
            'ports': 2,
            'portTable': TC01_PORTS,
            'events': TC01_EVENTS,
            'contact': 'Storage team ext 4410',
            'location': 'Computer room B rack 4',
        }],
        'systemURL': 'http://127.0.0.1/',
    },
    {
        'name': 'tc02',
        'sysDescr': 'Quillane FTC-800 FC-SCSI tape bridge',
        'sysObjectID': '1.3.6.1.4.1.4413.3.800',
        'units': [{
            'wwn': '20:00:00:e0:8b:04:11:c2',
            'type': TYPE_GATEWAY,
            'status': STATUS_WARNING,
            'product': 'Quillane FTC-800 Tape Bridge',
            'serial': 'FTC8-1104C2',
            # the hardware revision comes first: the firmware row is found by
            # its description
            'revs': [('C', 'Hardware'), ('5.0.3', 'Firmware release'), ('1.1', 'Boot ROM')],
            'ports': 4,
            'portTable': TC02_PORTS,
            'events': TC02_EVENTS,
            'contact': 'Backup operators',
            'location': 'Tape vault rack 2',
        }],
        'systemURL': '',
    },
    {
        'name': 'tc03',
        'sysDescr': 'Quillane LTC-1200 tape library controller',
        'sysObjectID': '1.3.6.1.4.1.4413.3.1200',
        'units': [{
            # the global id is all zeros on this model: the unit id holds the WWN
            'wwn': '50:01:10:a0:00:3c:7e:15',
            'globalId': False,
            'type': TYPE_STORAGE_SUBSYSTEM,
            'status': STATUS_FAILED,
            'product': 'Quillane LTC-1200 Library Controller',
            'serial': 'LTC12-3C7E15',
            'revs': [('2.8.1b', 'Controller firmware')],
            'ports': 2,
        }],
        'systemURL': '',
    },
    {
        'name': 'sw01',
        'sysDescr': 'Quillane FS-16 Fibre Channel switch',
        'sysObjectID': '1.3.6.1.4.1.4413.5.16',
        'units': [{
            'wwn': '10:00:00:05:1e:02:9a:44',
            'type': TYPE_SWITCH,
            'status': STATUS_OK,
            'product': 'Quillane FS-16 Fibre Channel Switch',
            'serial': 'FS16-029A44',
            'revs': [('7.4.2', 'Firmware')],
            'ports': 16,
        }, {
            # a second unit behind the switch's agent: the first unit decides
            'wwn': '50:01:10:a0:00:77:01:02',
            'type': TYPE_STORAGE_ACCESS,
            'status': STATUS_OK,
            'product': 'Quillane FS-16 Storage Blade',
            'serial': 'FS16B-770102',
            'revs': [('1.0', 'Firmware')],
            'ports': 1,
        }],
        'systemURL': '',
    },
    {
        # a controller whose product text holds markup: the web pages must
        # show it as text and run none of it
        'name': 'mk01',
        'sysDescr': 'Quillane FTC-400 Fibre Channel tape controller, firmware 4.12.07',
        'sysObjectID': '1.3.6.1.4.1.4413.3.400',
        'units': [{
            'wwn': '10:00:00:60:45:17:2a:66',
            'type': TYPE_STORAGE_ACCESS,
            'status': STATUS_OK,
            'product': '<img src=x onerror=alert(1)>',
            'serial': 'FTC4-0017A266',
            'revs': [('4.12.07', 'Firmware')],
            'ports': 1,
        }],
        'systemURL': '',
    },
    {
        'name': 'host01',
        'sysDescr': 'Linux backup01 6.1.0-13-amd64 #1 SMP x86_64',
        'sysObjectID': '1.3.6.1.4.1.8072.3.2.10',
        'units': None,
    },
]


def octets(wwn):
    return [int(x, 16) for x in wwn.split(':')]


def hexstr(values):
    return ''.join('%02x' % v for v in values)


def records(device):
    recs = []

    def add(oid, tag, value):
        recs.append((oid, tag, value))

    add(SYSTEM + '.1.0', '4', device['sysDescr'])
    add(SYSTEM + '.2.0', '6', device['sysObjectID'])
    add(SYSTEM + '.3.0', '67', '8640000')
    add(SYSTEM + '.4.0', '4', 'storage-admin@example.net')
    add(SYSTEM + '.5.0', '4', device['name'])
    add(SYSTEM + '.6.0', '4', 'Computer room B, rack 4')
    add(SYSTEM + '.7.0', '2', '72')
    units = device['units']
    if units is None:
        add('1.3.6.1.2.1.2.1.0', '2', '2')
        add('1.3.6.1.2.1.25.1.1.0', '67', '8640000')
        return recs

    add(FCMGMT + '.1.1.0', '2', str(len(units)))             # uNumber
    add(FCMGMT + '.1.2.0', '4', device['systemURL'])          # systemURL
    add(FCMGMT + '.1.3.0', '67', '8640000')                   # statusChangeTime
    add(FCMGMT + '.2.1.0', '2', '5')                          # trapMaxClients
    add(FCMGMT + '.2.2.0', '2:korsim', 'key=trapcount')      # trapClientCount
    add(TRAP_REG, ':korsim', 'table=trapreg')                 # trapRegTable
    add(FCMGMT + '.3.0', '4', '0300')                         # revisionNumber

    for unit in units:
        wwn = octets(unit['wwn'])
        unit_id = wwn + [0] * 8
        index = '.'.join(str(x) for x in unit_id)
        global_id = unit_id if unit.get('globalId', True) else [0] * 16
        col = lambda n: '%s.%d.%s' % (CONN_UNIT, n, index)
        add(col(1), '4x', hexstr(unit_id))
        add(col(2), '4x', hexstr(global_id))
        add(col(3), '2', str(unit['type']))
        add(col(4), '2', str(unit['ports']))
        add(col(5), '2', '2')                                 # online
        if unit is units[0]:
            add(col(6), '2:korsim', 'key=status,value=%d' % unit['status'])
        else:
            add(col(6), '2', str(unit['status']))
        add(col(7), '4', unit['product'])
        add(col(8), '4', unit['serial'])
        add(col(9), '67', '8639000')
        add(col(10), '4', '')
        add(col(17), '2', str(len(unit['revs'])))
        add(col(20), '4', device['name'])
        for n, (rev, descr) in enumerate(unit['revs'], 1):
            add('%s.1.%s.%d' % (REVS, index, n), '4x', hexstr(unit_id))
            add('%s.2.%s.%d' % (REVS, index, n), '2', str(n))
            add('%s.3.%s.%d' % (REVS, index, n), '4', rev)
            add('%s.4.%s.%d' % (REVS, index, n), '4', descr)
        # contact and location: writable, kept in the state file per unit
        number = units.index(unit) + 1
        add(col(23), '4:korsim', 'key=contact_%d,value=%s,writable=79' % (number, unit.get('contact', '')))
        add(col(24), '4:korsim', 'key=location_%d,value=%s,writable=79' % (number, unit.get('location', '')))
        # one power supply sensor and the ports' status
        add('%s.4.%s.1' % (SENSOR, index), '2', '3')
        table = unit.get('portTable')
        for p in range(1, unit['ports'] + 1):
            if table:
                ptype, state, status, tx, speed, rev, vendor = table[p - 1]
                port_wwn = [wwn[0], p] + wwn[2:] + [0] * 8
                add('%s.1.%s.%d' % (PORT, index, p), '4x', hexstr(unit_id))
                add('%s.2.%s.%d' % (PORT, index, p), '2', str(p))
                add('%s.3.%s.%d' % (PORT, index, p), '2', str(ptype))
                add('%s.6.%s.%d' % (PORT, index, p), '2', str(state))
                add('%s.7.%s.%d' % (PORT, index, p), '2', str(status))
                add('%s.8.%s.%d' % (PORT, index, p), '2', str(tx))
                add('%s.10.%s.%d' % (PORT, index, p), '4x', hexstr(port_wwn))
                add('%s.13.%s.%d' % (PORT, index, p), '4', rev)
                add('%s.14.%s.%d' % (PORT, index, p), '4', vendor)
                add('%s.15.%s.%d' % (PORT, index, p), '2', str(speed))
            else:
                add('%s.6.%s.%d' % (PORT, index, p), '2', '2')    # online
                add('%s.7.%s.%d' % (PORT, index, p), '2', '3')    # ok
            if table and unit is units[0]:
                # the port statistics table: counters that grow (korsim)
                add('%s.1.%s.%d' % (PORT_STAT, index, p), '4x', hexstr(unit_id))
                add('%s.2.%s.%d' % (PORT_STAT, index, p), '2', str(p))
                for column in PORT_COUNTERS:
                    add('%s.%d.%s.%d' % (PORT_STAT, column, index, p), '4x:korsim',
                        'counter=%d,port=%d' % (column, p))
        events = unit.get('events')
        if events:
            add(col(26), '2', str(len(events)))                  # connUnitNumEvents
            add(col(27), '2', '64')                               # connUnitMaxEvents
            add(col(28), '2', str(events[-1][0]))                 # connUnitEventCurrID
            for n, (eid, when, severity, etype, column, port, descr) in enumerate(events, 1):
                obj = '%s.%d.%s.%d' % (PORT, column, index, port) if column else col(1)
                add('%s.1.%s.%d' % (EVENT, index, n), '4x', hexstr(unit_id))
                add('%s.2.%s.%d' % (EVENT, index, n), '2', str(n))
                add('%s.3.%s.%d' % (EVENT, index, n), '2', str(eid))
                add('%s.4.%s.%d' % (EVENT, index, n), '4', when)
                add('%s.5.%s.%d' % (EVENT, index, n), '67', '8600000')
                add('%s.6.%s.%d' % (EVENT, index, n), '2', str(severity))
                add('%s.7.%s.%d' % (EVENT, index, n), '2', str(etype))
                add('%s.8.%s.%d' % (EVENT, index, n), '6', obj)
                add('%s.9.%s.%d' % (EVENT, index, n), '4', descr)
    return recs


def key(oid):
    return [int(x) for x in oid.split('.')]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'recordings')
    os.makedirs(out, exist_ok=True)
    for device in DEVICES:
        recs = sorted(records(device), key=lambda r: key(r[0]))
        path = os.path.join(out, device['name'] + '.snmprec')
        with open(path, 'w') as f:
            for oid, tag, value in recs:
                f.write('%s|%s|%s\n' % (oid, tag, value))
        print('wrote %s (%d records)' % (path, len(recs)))


if __name__ == '__main__':
    main()
