#!/usr/bin/env python3
"""Writes the simulated tape libraries' recordings (recordings/lib0N.snmprec):
storage media library MIB objects, with the drives' status and cleaning flag
kept in the simulator's state so simctl can change them.

lib01 is healthy (four drives, 64-bit counters as 8 raw octets), lib02 has a
drive that needs cleaning (counters as decimal text), lib03 a failed drive
and an import/export port whose name is markup (the device pages must show
it as text).
"""
import os

SYSTEM = '1.3.6.1.2.1.1'
SML = '1.3.6.1.4.1.14851.3.1'

LIBRARIES = [
    dict(name='lib01', binary=True, failed=None, cleaning=None, drives=4, serial='LIB0100417'),
    dict(name='lib02', binary=False, failed=None, cleaning=2, drives=3, serial='LIB0200523'),
    dict(name='lib03', binary=True, failed=1, cleaning=None, drives=2, serial='LIB0300611'),
]


def counter(binary, number):
    if binary:
        return '4x', '%016x' % number
    return '4', str(number)


def records(lib):
    recs = []

    def add(oid, tag, value):
        recs.append((oid, tag, str(value)))

    add(SYSTEM + '.1.0', '4', 'Quillane TL-2000 tape library')
    add(SYSTEM + '.2.0', '6', '1.3.6.1.4.1.4413.5.2000')
    add(SYSTEM + '.3.0', '67', '8640000')
    add(SYSTEM + '.5.0', '4', lib['name'])
    add(SML + '.1.0', '4', '1.21')
    add(SML + '.2.0', '4', '2.8')
    add(SML + '.3.1.0', '4', 'TL-2000')
    add(SML + '.3.2.0', '4', lib['serial'])
    add(SML + '.3.3.0', '4', 'Quillane')
    add(SML + '.3.4.0', '4', '7.40.2')
    add(SML + '.3.5.0', '4', 'Quillane TL-2000 %s' % lib['name'])
    add(SML + '.4.2.0', '4', 'TL-2000')
    add(SML + '.4.3.0', '4', lib['serial'])
    add(SML + '.4.9.0', '2', 1)
    for col, value in ((1, '2'), (2, '4|Quillane'), (3, '4|TL-2000 base frame'), (4, '4|' + lib['serial'] + 'F1'),
                       (9, '4|Frame 1'), (10, '2'), (11, '17')):
        tag, _, v = value.partition('|') if '|' in value else ('2', '', value)
        if col == 1:
            tag, v = '2', '1'
        add('%s.4.10.1.%d.1' % (SML, col), tag, v)
    add(SML + '.5.1.0', '4', 'LIBRARY_%s' % lib['serial'])
    add(SML + '.5.4.0', '4', 'deprecated')
    add(SML + '.6.1.0', '2', lib['drives'])
    for d in range(1, lib['drives'] + 1):
        row = '.%d' % d
        entry = SML + '.6.2.1.'
        status = 6 if lib['failed'] == d else 2
        clean = 1 if lib['cleaning'] == d else 2
        add(entry + '1' + row, '2', d)
        add(entry + '2' + row, '2', 3)
        # The padded inquiry string the drive name comes as.
        add(entry + '3' + row, '4', 'QUILLANE    ULT3580-TD8     %08d  ' % (10450000 + d))
        add(entry + '4' + row, '4', 'deprecated')
        add(entry + '5' + row, '2', 3)
        add(entry + '6' + row, '2:korsim', 'key=clean%d,value=%d' % (d, clean))
        mounts, hours = 6772 if d == 1 else 1000 + 37 * d, 21000 + 100 * d
        if lib['binary']:
            # mounts and lifetime hours grow while the simulator runs (korsim)
            wear = 'drive=%d,mounts=%d,hours=%d,field=' % (d, mounts, hours)
            add(entry + '7' + row, '4x:korsim', wear + 'mounts')
        else:
            tag, value = counter(False, mounts)
            add(entry + '7' + row, tag, value)
        add(entry + '8' + row, '4', '50 05 07 63 0F 00 0%d 1%d' % (d, d))
        tag, value = counter(lib['binary'], 120 + d)
        add(entry + '9' + row, tag, value)
        if lib['binary']:
            add(entry + '10' + row, '4x:korsim', wear + 'hours')
        else:
            tag, value = counter(False, hours)
            add(entry + '10' + row, tag, value)
        add(entry + '11' + row, '2:korsim', 'key=drive%d,value=%d' % (d, status))
        add(entry + '12' + row, '2', 100 + d)
        add(entry + '13' + row, '2', 1 + d)
    for d in range(1, lib['drives'] + 1):
        add('%s.8.2.1.1.%d' % (SML, d), '2', d)
        add('%s.8.2.1.3.%d' % (SML, d), '4', 'ULT3580-TD8')
        add('%s.8.2.1.4.%d' % (SML, d), '4', '%08d' % (10450000 + d))
        add('%s.8.2.1.5.%d' % (SML, d), '2', d)
    add(SML + '.9.1.0', '2', lib['drives'] + 1)
    for s in range(1, lib['drives'] + 2):
        add('%s.9.2.1.1.%d' % (SML, s), '2', s)
        add('%s.9.2.1.3.%d' % (SML, s), '4', '7.40.2' if s == 1 else 'Q3B%d' % (6 + (s % 2)))
    add(SML + '.10.1.0', '4', lib['name'])
    add(SML + '.10.2.0', '2', 2)
    add(SML + '.10.10.0', '2', 1)
    add(SML + '.11.1.0', '2', 1)
    add(SML + '.11.2.1.1.1', '2', 1)
    add(SML + '.11.2.1.2.1', '4', 'CHANGER_%s' % lib['serial'])
    add(SML + '.11.2.1.3.1', '2', 2)
    add(SML + '.11.2.1.4.1', '4', 'Logical_Library: %s' % lib['name'].upper())
    add(SML + '.11.2.1.6.1', '4', 'Library partition is assigned %d drives and up to 40 cartridges.' % lib['drives'])
    add(SML + '.11.2.1.8.1', '2', 3)
    add(SML + '.11.2.1.9.1', '2:korsim', 'key=changer1,value=2')
    # Locations: 40 slots, 2 I/E slots, one per drive.
    locations = []
    for s in range(1, 41):
        present = s <= 30
        cleaner = s in (39, 40) and lib['name'] != 'lib03' or s == 40
        locations.append((s, 2, present or cleaner, cleaner, 'A%05dL8' % s if not cleaner else 'CLN%03dL1' % s))
    locations.append((41, 6, False, False, ''))
    locations.append((42, 6, True, False, 'X00042L8'))
    for d in range(1, lib['drives'] + 1):
        locations.append((100 + d, 4, d == 1, False, 'A%05dL8' % (90 + d) if d == 1 else ''))
    # SCSI controllers: one per drive, then the changer's; the FC ports
    # name the drives' controllers.
    add(SML + '.12.1.0', '2', lib['drives'] + 1)
    for c in range(1, lib['drives'] + 2):
        entry = SML + '.12.2.1.'
        drive = c if c <= lib['drives'] else 0
        add(entry + '1.%d' % c, '2', c)
        add(entry + '3.%d' % c, '4', 'Drive %d controller' % c if drive else 'Changer controller')
        add(entry + '4.%d' % c, '2', 2)
        add(entry + '6.%d' % c, '2', 3)
        add(entry + '7.%d' % c, '2', 0 if drive else 1)
        add(entry + '8.%d' % c, '2', drive)
    add(SML + '.13.1.0', '2', len(locations))
    add(SML + '.13.2.0', '2', sum(1 for l in locations if l[2]))
    for index, kind, present, cleaner, label in locations:
        entry = SML + '.13.3.1.'
        add(entry + '1.%d' % index, '2', index)
        add(entry + '3.%d' % index, '2', kind)
        add(entry + '10.%d' % index, '2', 1 if present else 2)
        add(entry + '17.%d' % index, '2', (1 if cleaner else 2) if present else 0)
        add(entry + '19.%d' % index, '4', label if present else '')
    add(SML + '.14.1.0', '2', 1)
    add(SML + '.14.2.1.1.1', '2', 1)
    add(SML + '.14.2.1.3.1', '2', 2)
    add(SML + '.14.2.1.4.1', '4', 'I/E <script>alert("lib03")</script> & "mail slot"' if lib['name'] == 'lib03'
        else 'I/E station 1')
    add(SML + '.14.2.1.7.1', '2', 41)
    add(SML + '.15.1.0', '2', lib['drives'])
    for d in range(1, lib['drives'] + 1):
        add('%s.15.2.1.1.%d' % (SML, d), '2', d)
        add('%s.15.2.1.3.%d' % (SML, d), '4', 'Drive %d FC port' % d)
        add('%s.15.2.1.6.%d' % (SML, d), '2', 2)
        add('%s.15.2.1.7.%d' % (SML, d), '4', '2100005007630F%02X' % d)
        add('%s.15.2.1.8.%d' % (SML, d), '2', d)
    add(SML + '.16.1.0', '2', 1)
    # A trap destination table the library does not let a manager write.
    add(SML + '.16.7.1.1.1', '2', 1)
    add(SML + '.16.7.1.2.1', '2', 1)
    add(SML + '.16.7.1.3.1', '4', '127.0.0.1')
    add(SML + '.16.7.1.4.1', '2', 162)
    return recs


def key(oid):
    return tuple(int(x) for x in oid.split('.'))


def main():
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'recordings')
    for lib in LIBRARIES:
        recs = sorted(records(lib), key=lambda r: key(r[0]))
        with open(os.path.join(here, lib['name'] + '.snmprec'), 'w') as out:
            for oid, tag, value in recs:
                out.write('%s|%s|%s\n' % (oid, tag, value))


if __name__ == '__main__':
    main()
