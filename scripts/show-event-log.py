#!/usr/bin/env python3
"""Shows the agent's event log (KORAGENT_EVENT_LOG, one JSON object a line)
as readable lines: local time, level, text.

    scripts/show-event-log.py < event-log.jsonl
    tail -F event-log.jsonl | scripts/show-event-log.py

A line that is not such an object is shown as it is.
"""
import datetime
import json
import sys

LEVELS = {4: 'INFO', 2: 'WARNING', 1: 'CRITICAL'}


def readable(line):
    try:
        entry = json.loads(line)
        level = LEVELS.get(entry.get('event_type'), 'EVENT')
        text = entry.get('text', '')
        if text.startswith(level + ': '):
            text = text[len(level) + 2:]
        when = entry.get('time', '')
        try:
            stamp = datetime.datetime.strptime(when, '%Y-%m-%dT%H:%M:%S.%fZ').replace(tzinfo=datetime.timezone.utc)
            when = stamp.astimezone().strftime('%Y-%m-%d %H:%M:%S')
        except ValueError:
            pass
        data = entry.get('data', '')
        if data:
            text += '  [%d bytes of data]' % (len(data) // 2)
        return '%s  %-8s  %s' % (when, level, text)
    except (ValueError, AttributeError):
        return line.rstrip('\n')


def main():
    for line in sys.stdin:
        if line.strip():
            print(readable(line), flush=True)


if __name__ == '__main__':
    try:
        main()
    except (KeyboardInterrupt, BrokenPipeError):
        pass
