/*
 * The events page (events.html): fills its table from events.json with the
 * filters of its form, newest first, a page at a time, and keeps itself
 * current like the element list (LiveRefresh). The filters live in the
 * page's address too, so a reload or a shared link shows the same events;
 * while the newest events are on view it also asks the agent every
 * 2.5 s, cheaply, whether an event came after the newest one it has
 * (events.json?after=N: the ring's entries after N only) and reloads when
 * one did, so a new event shows within seconds, as the list follows the
 * statuses;
 * "Export CSV" downloads what the filter shows (events.csv). Every text
 * from the agent is put in as text, never as markup.
 */
(function () {
  'use strict';

  var PAGE_SIZE = 50;
  var KINDS = { trap: 'Trap', status: 'Status change', change: 'Change', login: 'Log-in', agent: 'Agent' };
  var form = document.getElementById('event-filter');
  var body = document.querySelector('#event-table tbody');
  var summaryLine = document.getElementById('events-summary');
  var newer = document.getElementById('newer');
  var older = document.getElementById('older');
  var exportLink = document.getElementById('export-csv');
  var offset = 0;
  var last = null;
  var WATCH_MS = 2500;
  var watchTimer = null;
  var shownFilter = new URLSearchParams();  // the filter of the events on view

  function two(n) { return (n < 10 ? '0' : '') + n; }

  function localText(ms) {
    var d = new Date(ms);
    return d.getFullYear() + '-' + two(d.getMonth() + 1) + '-' + two(d.getDate()) + ' ' +
           two(d.getHours()) + ':' + two(d.getMinutes()) + ':' + two(d.getSeconds());
  }

  // datetime-local value <-> milliseconds (the browser's time zone).
  function toMs(value) {
    if (!value) return '';
    var ms = new Date(value).getTime();
    return isNaN(ms) ? '' : String(ms);
  }

  function toLocalInput(ms) {
    if (!ms) return '';
    var d = new Date(Number(ms));
    if (isNaN(d.getTime())) return '';
    return localText(d.getTime()).replace(' ', 'T');
  }

  // The filter as query parameters (without paging).
  function filterParams() {
    var params = new URLSearchParams();
    ['element', 'severity', 'kind', 'text'].forEach(function (name) {
      var value = form.elements[name].value.trim();
      if (value) params.set(name, value);
    });
    var from = toMs(form.elements.from.value);
    var to = toMs(form.elements.to.value);
    if (from) params.set('from', from);
    if (to) params.set('to', to);
    return params;
  }

  // Takes the filter from the page's address (the element field is already
  // written by the agent).
  function readAddress() {
    var params = new URLSearchParams(window.location.search);
    ['severity', 'kind', 'text'].forEach(function (name) {
      if (params.has(name)) form.elements[name].value = params.get(name);
    });
    form.elements.from.value = toLocalInput(params.get('from'));
    form.elements.to.value = toLocalInput(params.get('to'));
    offset = Math.max(0, Number(params.get('offset')) || 0);
  }

  function writeAddress(params) {
    var shown = new URLSearchParams(params);
    if (offset) shown.set('offset', String(offset));
    var query = shown.toString();
    window.history.replaceState(null, '', 'events.html' + (query ? '?' + query : ''));
  }

  function cell(row, text, className) {
    var td = document.createElement('td');
    td.textContent = text;
    if (className) td.className = className;
    row.appendChild(td);
    return td;
  }

  // The logged text without its severity prefix (the severity has a column).
  function plainText(text) {
    return text.replace(/^(INFO|WARNING|CRITICAL): /, '');
  }

  function render(data) {
    last = data;
    body.textContent = '';
    if (!data.events.length) {
      var empty = document.createElement('tr');
      var td = cell(empty, 'No events match the filter.', 'no-events');
      td.colSpan = 5;
      body.appendChild(empty);
    }
    data.events.forEach(function (e) {
      var row = document.createElement('tr');
      row.className = 'event-row severity-' + e.severity;
      var time = cell(row, localText(e.time), 'event-time');
      time.title = new Date(e.time).toISOString();
      var severity = cell(row, '', 'event-severity');
      var badge = document.createElement('span');
      badge.className = 'severity-badge severity-' + e.severity;
      badge.textContent = e.severity.charAt(0).toUpperCase() + e.severity.slice(1);
      severity.appendChild(badge);
      var element = cell(row, e.element || e.address || '\u2014', 'event-element');
      if (e.element && e.address) element.title = e.address;
      var kind = cell(row, KINDS[e.kind] || e.kind, 'event-kind');
      if (e.trap) {
        var trap = document.createElement('div');
        trap.className = 'trap-id';
        trap.textContent = e.trap;
        kind.appendChild(trap);
      }
      cell(row, plainText(e.text), 'event-text');
      body.appendChild(row);
    });
    var first = data.events.length ? data.offset + 1 : 0;
    var lastShown = data.offset + data.events.length;
    newer.disabled = data.offset === 0;
    older.disabled = data.complete && lastShown >= data.total;
    // The hint names the Older button only while it can be pressed.
    summaryLine.textContent = data.events.length
      ? 'Showing ' + first + '\u2013' + lastShown + ' of ' + data.total + (data.complete ? '' : '+') + ' events' +
        (data.complete || older.disabled ? '' : ' (older ones may be in the event-log file: Older \u2192)')
      : (data.total ? 'No events on this page.' : '');
  }

  function load() {
    var params = filterParams();
    shownFilter = new URLSearchParams(params);
    writeAddress(params);
    exportLink.href = 'events.csv' + (params.toString() ? '?' + params.toString() : '');
    params.set('offset', String(offset));
    params.set('limit', String(PAGE_SIZE));
    return fetch('events.json?' + params.toString(), { credentials: 'same-origin', cache: 'no-store' })
      .then(function (r) {
        var type = r.headers.get('Content-Type') || '';
        if (!r.ok || type.indexOf('application/json') !== 0) {
          window.location.href = '/zepa/login?return=' + encodeURIComponent('/KOR/events.html');
          throw new Error('signed out');
        }
        return r.json();
      })
      .then(render);
  }

  // Something logged after the newest entry the page has seen? Only the
  // first page follows the agent (an older page would shift under the
  // reader); the interval picker still reloads every page.
  function watch() {
    watchTimer = null;
    if (document.hidden || !last || offset !== 0) return scheduleWatch();
    // The filter of the events on view, not one typed but not applied yet.
    var params = new URLSearchParams(shownFilter);
    params.set('after', String(last.last || 0));
    params.set('limit', '1');
    fetch('events.json?' + params.toString(), { credentials: 'same-origin', cache: 'no-store' })
      .then(function (r) { return r.ok ? r.json() : null; })
      .then(function (news) {
        if (!news || !last) return null;
        // New matches, or an agent restarted meanwhile (its numbers begin anew).
        if (news.total > 0 || news.last < last.last) return live.refresh();
        last.last = news.last;
        return null;
      })
      .catch(function () { /* the next check tries again */ })
      .then(scheduleWatch);
  }

  function scheduleWatch() {
    if (watchTimer) clearTimeout(watchTimer);
    watchTimer = document.hidden ? null : setTimeout(watch, WATCH_MS);
  }

  document.addEventListener('visibilitychange', function () { if (!document.hidden) scheduleWatch(); });

  readAddress();
  var live = window.LiveRefresh.create(document.getElementById('events-bar'), load);
  scheduleWatch();
  form.addEventListener('submit', function (ev) {
    ev.preventDefault();
    offset = 0;
    live.refresh();
  });
  form.addEventListener('reset', function () {
    setTimeout(function () {
      form.elements.element.value = '';
      offset = 0;
      live.refresh();
    }, 0);
  });
  newer.addEventListener('click', function () {
    offset = Math.max(0, offset - PAGE_SIZE);
    live.refresh();
  });
  // The next page starts after the last event shown: past the end of the
  // recent events in memory it is read from the event-log file.
  older.addEventListener('click', function () {
    offset = last ? last.offset + last.events.length : offset + PAGE_SIZE;
    live.refresh();
  });
  live.refresh();
  window.KorEvents = { last: function () { return last; } };
})();
