#
# Variation module for the simulated tape controllers (snmpsim 0.4).
#
# It serves the values that change while a device runs from a small JSON
# state file per device, so that `simctl` (or the device's own SNMP Set
# requests) can change them at run time:
#
#   <oid>|<tag>:korsim|key=<name>,value=<default>
#       a scalar or column instance read from state[<name>]; the record's
#       value is the default while the state file does not hold the key.
#       Read-only: a Set is refused (noSuchName over SNMPv1).
#
#   <oid>|4:korsim|key=<name>,value=<default>,writable=<max length>
#       the same, but a Set of an octet string of at most <max length>
#       octets stores it in state[<name>] (connUnitContact,
#       connUnitLocation). The default may not hold a comma.
#
#   1.3.6.1.3.94.2.3.1|:korsim|table=trapreg
#       the whole trap registration table (trapRegTable), a subtree record.
#       Rows live in state["trapreg"] as [address, port, filter, rowstate].
#       A Set of trapRegRowState (column 4) creates, changes or (with
#       rowDestroy) removes a row; a Set of trapRegFilter (column 3) changes
#       it. While state["trapreg_readonly"] is true every Set is refused.
#
#   <oid>|2:korsim|key=trapcount
#       trapClientCount: the number of active rows.
#
#   <oid>|4x:korsim|counter=<column>,port=<port>
#       a counter of the port statistics table (connUnitPortStatTable): 8
#       octets, most significant first, counting up with the time since the
#       port's origin (the simulator's start, or its last reset):
#       frames and octets steadily, the error kinds not at all until
#       `simctl port NAME PORT errors RATE` makes the port bad (RATE CRC
#       errors a minute, twice as many invalid transmission words, and the
#       total of both in the errors column). State per port in
#       state["ports"][<port>]: origin, errors (RATE), errors_since,
#       errors_base (CRC errors counted before errors_since), offsets
#       ({column: added value}, for `simctl port ... wrap`). Every value is
#       taken modulo 2^63, as the device wraps; column 45 (invalid ordered
#       sets) answers with the high bit set: not supported.
#
#   <oid>|4x:korsim|drive=<index>,mounts=<n>,hours=<n>,field=mounts|hours
#       a library drive's mount count or lifetime power-on hours, growing
#       with the time the simulator runs (a mount every 10 minutes, an hour
#       an hour) plus state["wear<index>"] (`simctl drive ... --age N`).
#
# The state file of a device is <state dir>/<device>.json, where <device> is
# the name of the recording (the data file's base name) and <state dir> is
# given as the module option: --variation-module-options=korsim:<state dir>
#
import errno
import fcntl
import json
import os
import time

from snmpsim import log

TRAPREG = (1, 3, 6, 1, 3, 94, 2, 3, 1)
TAGS = {1: '64', 2: '2', 3: '2', 4: '2'}
ROW_DESTROY, ROW_INACTIVE, ROW_ACTIVE = 1, 2, 3
DEFAULT_FILTER = 8  # FcEventSeverity info


TOP = 1 << 63
# Per second on a healthy port: frames sent and received, octets per frame.
FRAMES = {4: 2000, 5: 1800}
OCTETS = {6: (4, 2048), 7: (5, 2048)}
CRC, INVALID_WORDS, TOTAL_ERRORS, UNSUPPORTED = 40, 41, 3, 45


def init(**context):
    moduleContext['statedir'] = context['options'] or '.'
    moduleContext['start'] = started(moduleContext['statedir'])


def started(statedir):
    """When the simulator was started: the time start.sh wrote the run
    directory's device list (simctl reads the same), else now."""
    try:
        return os.path.getmtime(os.path.join(statedir, os.pardir, 'devices.txt'))
    except OSError:
        return time.time()


def port_counter(port, column, now, start):
    """The value of one counter of a port's state at wall time `now`."""
    origin = port.get('origin', start)
    seconds = max(0.0, now - origin)
    crc = port.get('errors_base', 0) + port.get('errors', 0) / 60.0 * max(0.0, now - port.get('errors_since', origin))
    if column in FRAMES:
        value = FRAMES[column] * seconds
    elif column in OCTETS:
        frames, size = OCTETS[column]
        value = FRAMES[frames] * size * seconds
    elif column == CRC:
        value = crc
    elif column == INVALID_WORDS:
        value = 2 * crc
    elif column == TOTAL_ERRORS:
        value = 3 * crc
    else:
        value = 0
    value = int(value) + int(port.get('offsets', {}).get(str(column), 0))
    return value % TOP


def _variate_counter(oid, tag, settings, context):
    if context['setFlag'] or (not context['nextFlag'] and not context['exactMatch']):
        return context['origOid'], tag, context['errorStatus']
    column = int(settings['counter'])
    if column == UNSUPPORTED:
        return oid, '4x', '8000000000000000'
    with _Locked(context) as store:
        state = store.read()
    port = state.get('ports', {}).get(settings['port'], {})
    return oid, '4x', '%016x' % port_counter(port, column, time.time(), moduleContext['start'])


def _variate_drive(oid, tag, settings, context):
    if context['setFlag'] or (not context['nextFlag'] and not context['exactMatch']):
        return context['origOid'], tag, context['errorStatus']
    with _Locked(context) as store:
        state = store.read()
    elapsed = time.time() - moduleContext['start']
    base = int(settings[settings['field']])
    if settings['field'] == 'mounts':
        value = base + int(elapsed / 600) + int(state.get('wear%s' % settings['drive'], 0))
    else:
        value = base + int(elapsed / 3600) + int(state.get('wear%s' % settings['drive'], 0))
    return oid, '4x', '%016x' % (value % TOP)


def _device(context):
    return os.path.splitext(os.path.basename(context['dataFile']))[0]


def _path(context):
    return os.path.join(moduleContext['statedir'], _device(context) + '.json')


class _Locked(object):
    """Holds the device's lock file while the state is read or changed."""

    def __init__(self, context):
        self.path = _path(context)

    def __enter__(self):
        self.lock = open(self.path + '.lock', 'a')
        fcntl.flock(self.lock, fcntl.LOCK_EX)
        return self

    def __exit__(self, *exc):
        fcntl.flock(self.lock, fcntl.LOCK_UN)
        self.lock.close()

    def read(self):
        try:
            with open(self.path) as f:
                return json.load(f)
        except (IOError, OSError) as e:
            if e.errno != errno.ENOENT:
                log.msg('korsim: cannot read %s: %s' % (self.path, e))
            return {}
        except ValueError as e:
            log.msg('korsim: bad state file %s: %s' % (self.path, e))
            return {}

    def write(self, state):
        tmp = self.path + '.tmp'
        with open(tmp, 'w') as f:
            json.dump(state, f, indent=1, sort_keys=True)
            f.flush()
            os.fsync(f.fileno())
        os.rename(tmp, self.path)


def _settings(value):
    settings = {}
    for item in str(value).split(','):
        if '=' in item:
            k, v = item.split('=', 1)
            settings[k.strip()] = v.strip()
    return settings


def _rows(state):
    """The table's instances as {oid tuple: (tag, value)}."""
    rows = {}
    for address, port, filt, rowstate in state.get('trapreg', []):
        index = tuple(int(x) for x in address.split('.')) + (int(port),)
        values = {1: address, 2: int(port), 3: int(filt), 4: int(rowstate)}
        for column, value in values.items():
            rows[TRAPREG + (column,) + index] = (TAGS[column], value)
    return rows


def _active_count(state):
    return len([r for r in state.get('trapreg', []) if int(r[3]) == ROW_ACTIVE])


def _set_trapreg(state, oid, value):
    """Applies a Set to the table; returns False when it is refused."""
    if state.get('trapreg_readonly'):
        return False
    suffix = tuple(oid[len(TRAPREG):])
    if len(suffix) != 6 or suffix[0] not in (3, 4):
        return False
    column, index = suffix[0], suffix[1:]
    if any(x > 255 for x in index[:4]) or index[4] < 1:
        return False
    address = '.'.join(str(x) for x in index[:4])
    port = index[4]
    value = int(value)
    rows = state.setdefault('trapreg', [])
    row = None
    for r in rows:
        if r[0] == address and int(r[1]) == port:
            row = r
    if column == 4:
        if value == ROW_DESTROY:
            state['trapreg'] = [r for r in rows if r is not row]
            return True
        if value not in (ROW_INACTIVE, ROW_ACTIVE):
            return False
        if row is None:
            if _active_count(state) >= int(state.get('trapmax', 5)):
                return False
            rows.append([address, port, DEFAULT_FILTER, value])
        else:
            row[3] = value
        return True
    # column 3: the severity filter, 1 to 10
    if not 1 <= value <= 10:
        return False
    if row is None:
        rows.append([address, port, value, ROW_INACTIVE])
    else:
        row[2] = value
    return True


def _variate_table(oid, tag, value, context):
    orig = tuple(context['origOid'])
    with _Locked(context) as store:
        state = store.read()
        if context['setFlag']:
            if orig[:len(TRAPREG)] != TRAPREG or not _set_trapreg(state, orig, context['origValue']):
                return context['origOid'], tag, context['errorStatus']
            store.write(state)
            return context['origOid'], '2', int(context['origValue'])
        rows = _rows(state)
    if context['nextFlag']:
        later = sorted(k for k in rows if k > orig)
        if not later:
            return context['origOid'], tag, context['errorStatus']
        found = later[0]
        t, v = rows[found]
        return context['origOid'].clone(found), t, v
    if orig in rows:
        t, v = rows[orig]
        return context['origOid'], t, v
    return context['origOid'], tag, context['errorStatus']


def _set_text(oid, tag, settings, context):
    """A Set of a writable text instance; refused for another type or a
    text longer than the record allows."""
    value = context['origValue']
    if not hasattr(value, 'asOctets'):
        return context['origOid'], tag, context['errorStatus']
    octets = value.asOctets()
    if len(octets) > int(settings.get('writable') or 255):
        return context['origOid'], tag, context['errorStatus']
    text = octets.decode('utf-8', 'replace')
    with _Locked(context) as store:
        state = store.read()
        state[settings['key']] = text
        store.write(state)
    return oid, tag, text


def variate(oid, tag, value, **context):
    if 'settings' not in recordContext:
        recordContext['settings'] = _settings(value)
    settings = recordContext['settings']

    if settings.get('table') == 'trapreg':
        return _variate_table(oid, tag, value, context)
    if 'counter' in settings:
        return _variate_counter(oid, tag, settings, context)
    if 'drive' in settings and 'field' in settings:
        return _variate_drive(oid, tag, settings, context)

    # a single instance
    if context['setFlag'] and 'writable' in settings and context['exactMatch']:
        return _set_text(oid, tag, settings, context)
    if context['setFlag'] or (not context['nextFlag'] and not context['exactMatch']):
        return context['origOid'], tag, context['errorStatus']
    key = settings.get('key')
    with _Locked(context) as store:
        state = store.read()
    if key == 'trapcount':
        return oid, tag, _active_count(state)
    if key in state:
        return oid, tag, state[key]
    if 'value' in settings:
        return oid, tag, settings['value']
    return context['origOid'], tag, context['errorStatus']


def shutdown(**context):
    pass
