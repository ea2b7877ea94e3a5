/*
 * The root page's live console around the element list (elements.html in
 * the frame "elements"). The list's own markup is left as the agent writes
 * it; this script works on the frame's document once it has loaded:
 *
 *   - keeps the list current: a second, hidden frame loads the list anew
 *     (on the interval picked, or on "Refresh"); only once it has fully
 *     loaded does it take the place of the one shown, which stays readable
 *     meanwhile, marked as refreshing. The frame shown is always the one
 *     with id and name "elements"; the other stays in the page, so a dialog
 *     opened from it can still reload it;
 *   - a summary of the statuses shown (a click filters to that status), a
 *     text filter, and sorting by any column (click a column heading); a
 *     controller the agent does not poll (status.json's "stale": v3-only
 *     and no SNMPv3 profile) keeps its last status marked "stale", counts
 *     under "Stale" (shown while there are some) and never under OK;
 *   - for each controller "Status since" and "Last answered" from
 *     status.json (columns before the model name), the reason behind a
 *     status that is not OK under its name, a link to its events
 *     beside its name, and the element's name on its device page link
 *     ("device=");
 *   - following the agent: while the page is visible it reads status.json
 *     (the agent's last known statuses; no device is asked) every few
 *     seconds, and not at all while hidden. A changed status is set on its
 *     row at once; when the set of controllers differs, the list loads anew; a row
 *     whose status changed is highlighted for a while and the change is
 *     said in words beside the summary ("tc01: OK → Failed"). A browser
 *     notification when a controller fails, if asked for ("Notify");
 *   - the alarms (api/v1/alarms, read with status.json): a controller
 *     whose alarm somebody has acknowledged is marked, with who, under
 *     its name; the Alarms link counts the alarms nobody has taken;
 *   - offering what the signed-in user may do (status.json's "level"): an
 *     administrator changes things through the list's Actions menu (the
 *     list writes it for administrators only); anyone else gets the agent
 *     configuration to read ("Configuration" in the top bar), and the body
 *     carries the level (data-level) for the style sheet and scripts.
 */
(function () {
  'use strict';

  var STATUSES = [
    { cls: 'ok', text: 'OK' },
    { cls: 'degraded', text: 'Degraded' },
    { cls: 'failed', text: 'Failed' },
    { cls: 'unknown', text: 'Unknown' },
    // Bound but not polled yet (status.json's -1): neither healthy nor
    // failed, and not what its device said. The list's image stays the
    // unknown one; the word and the chip are the console's.
    { cls: 'notpolled', text: 'Not polled yet' }
  ];
  var NOT_POLLED = 4;
  var state = { status: '', text: '', sortColumn: -1, sortDescending: false };
  var shown = null;     // the frame on view
  var spare = null;     // the frame that loads the next list
  var summary = null;
  var live = null;
  var pendingLoad = null;
  var POLL_MS = 2500;          // status.json while the page is visible
  var HIGHLIGHT_MS = 15000;    // how long a changed row stays marked
  var NOTIFY_KEY = 'kor.notifyFailures';
  var pollTimer = null;
  var seen = null;             // name -> status class of the list last shown
  var highlights = {};         // name -> when its highlight ends
  var lastSignature = '';      // status.json's statuses the list last loaded for
  var changeNote = null;
  var notifyBox = null;

  // ---------- times ----------
  function two(n) { return (n < 10 ? '0' : '') + n; }

  function timeText(ms, now) {
    if (!ms) return 'never';
    var d = new Date(ms);
    var today = new Date(now);
    var sameDay = d.toDateString() === today.toDateString();
    var clock = two(d.getHours()) + ':' + two(d.getMinutes()) + ':' + two(d.getSeconds());
    return sameDay ? clock : d.getFullYear() + '-' + two(d.getMonth() + 1) + '-' + two(d.getDate()) + ' ' + clock;
  }

  function ageText(ms, now) {
    if (!ms) return '';
    var s = Math.max(0, Math.round((now - ms) / 1000));
    if (s < 60) return s + ' s ago';
    if (s < 3600) return Math.floor(s / 60) + ' min ago';
    if (s < 86400) return Math.floor(s / 3600) + ' h ago';
    return Math.floor(s / 86400) + ' d ago';
  }

  // ---------- the list's table ----------
  function tableOf(doc) { return doc ? doc.querySelector('table.element-table') : null; }

  function elementRows(doc) {
    var table = tableOf(doc);
    return table ? Array.prototype.slice.call(table.querySelectorAll('tr.element-row')) : [];
  }

  function rowName(row) {
    // Kept once the name cell has our links beside the name.
    var kept = row.getAttribute('data-name');
    if (kept !== null) return kept;
    var link = row.cells[1] && row.cells[1].querySelector('a');
    return link ? link.textContent : (row.cells[1] ? row.cells[1].textContent : '');
  }

  function rowStatus(row) {
    for (var i = 0; i < STATUSES.length; i++) {
      if (row.classList.contains('status-' + STATUSES[i].cls)) return i;
    }
    return 3;
  }

  // Columns added to the list, their heading cells made sort buttons, the
  // rule rows between elements dropped (the style sheet draws row rules),
  // and the device links given the element's name.
  function prepare(doc) {
    var table = tableOf(doc);
    if (!table || table.classList.contains('console-ready')) return;
    table.classList.add('console-ready');
    var rows = Array.prototype.slice.call(table.rows);
    rows.forEach(function (row) {
      if (row.classList.contains('table-title') || row.classList.contains('rule-row')) {
        if (row.cells[0]) row.cells[0].colSpan = 6;
      }
    });
    var elements = elementRows(doc);
    elements.forEach(function (row, i) {
      var next = row.nextElementSibling;
      while (i < elements.length - 1 && next && next !== elements[i + 1]) {
        var after = next.nextElementSibling;
        if (next.classList.contains('rule-row') || next.classList.contains('empty-row')) next.remove();
        next = after;
      }
    });
    // The new columns go before the model name, which stays the last cell
    // of a row as the list writes it.
    var header = table.querySelector('tr.column-header');
    if (header) {
      [['Status since', 'status-since'], ['Last answered', 'last-answered']].forEach(function (column) {
        var cell = doc.createElement('td');
        cell.textContent = column[0];
        cell.className = column[1];
        header.insertBefore(cell, header.cells[header.cells.length - 1]);
      });
      Array.prototype.forEach.call(header.cells, function (cell, column) {
        var text = cell.textContent.trim();
        cell.textContent = '';
        var button = doc.createElement('button');
        button.type = 'button';
        button.className = 'sort-button';
        button.textContent = text;
        button.addEventListener('click', function () { sortBy(column); });
        cell.appendChild(button);
        cell.setAttribute('data-column', String(column));
      });
    }
    elementRows(doc).forEach(function (row) {
      var name = rowName(row);
      row.setAttribute('data-name', name);
      var link = row.cells[1] && row.cells[1].querySelector('a');
      if (link) {
        var href = link.getAttribute('href') || '';
        if (/(^|\/)WebAgent\//.test(href) && !/[?&]device=/.test(href)) {
          link.setAttribute('href', href + (href.indexOf('?') >= 0 ? '&' : '?') + 'device=' + encodeURIComponent(name));
        }
      }
      var since = doc.createElement('td');
      since.className = 'status-since';
      var answered = doc.createElement('td');
      answered.className = 'last-answered';
      var model = row.cells[row.cells.length - 1];
      row.insertBefore(since, model);
      row.insertBefore(answered, model);
      // The controller's events and its history, beside its name.
      var links = doc.createElement('span');
      links.className = 'element-links';
      [['events', 'Events'], ['history', 'History']].forEach(function (pair) {
        var a = doc.createElement('a');
        a.className = pair[0] + '-link';
        a.href = pair[0] + '.html?element=' + encodeURIComponent(name);
        a.target = '_top';
        a.textContent = pair[1];
        a.setAttribute('aria-label', pair[1] + ' of ' + name);
        links.appendChild(a);
      });
      if (row.cells[1]) row.cells[1].appendChild(links);
    });
  }

  // Answers whether a row's stale mark changed.
  function joinTimes(doc, status) {
    if (!status || !status.elements) return false;
    var staleChanged = false;
    var byName = {};
    status.elements.forEach(function (e) { byName[e.name] = e; });
    elementRows(doc).forEach(function (row) {
      var e = byName[rowName(row)];
      var since = row.querySelector('td.status-since');
      var answered = row.querySelector('td.last-answered');
      if (!since || !answered) return;
      since.textContent = e ? timeText(e.statusSince, status.now) : '';
      since.title = e ? ageText(e.statusSince, status.now) : '';
      since.setAttribute('data-sort', e ? String(e.statusSince) : '0');
      answered.textContent = e ? timeText(e.lastAnswered, status.now) : '';
      answered.title = e && e.lastAnswered ? ageText(e.lastAnswered, status.now) : 'No answer to a poll yet';
      answered.setAttribute('data-sort', e && e.lastAnswered ? String(e.lastAnswered) : '0');
      // Why a controller is not OK ("Drive 3 ... needs cleaning"), under its
      // name, as the agent's last poll found it.
      var nameCell = row.cells[1];
      var reason = nameCell && nameCell.querySelector('.status-reason');
      var why = e && e.reason ? e.reason : '';
      if (!reason && why && nameCell) {
        reason = doc.createElement('div');
        reason.className = 'status-reason';
        nameCell.appendChild(reason);
      }
      if (reason) {
        reason.textContent = why;
        reason.hidden = !why;
      }
      if (markStale(row, !!(e && e.stale))) staleChanged = true;
    });
    return staleChanged;
  }

  // A controller the agent does not poll (v3-only, no SNMPv3 profile)
  // keeps its last status, marked stale beside it; the summary does not
  // count it as OK.
  function markStale(row, stale) {
    if (row.classList.contains('row-stale') === stale) return false;
    row.classList.toggle('row-stale', stale);
    var cell = row.cells[0];
    var mark = cell && cell.querySelector('.stale-mark');
    if (stale && !mark && cell) {
      mark = row.ownerDocument.createElement('span');
      mark.className = 'stale-mark';
      mark.textContent = 'stale';
      mark.title = 'Not polled: the last status read';
      cell.appendChild(mark);
    } else if (!stale && mark) {
      mark.remove();
    }
    return true;
  }

  // ---------- summary, filter, sort ----------
  function buildSummary(bar) {
    summary = document.createElement('div');
    summary.className = 'status-summary';
    summary.setAttribute('role', 'group');
    summary.setAttribute('aria-label', 'Controllers by status');
    STATUSES.forEach(function (s) {
      var button = document.createElement('button');
      button.type = 'button';
      button.className = 'status-chip chip-' + s.cls;
      button.setAttribute('data-status', s.cls);
      button.setAttribute('aria-pressed', 'false');
      var count = document.createElement('span');
      count.className = 'count';
      count.textContent = '0';
      button.appendChild(count);
      button.appendChild(document.createTextNode(' ' + s.text));
      button.addEventListener('click', function () {
        state.status = state.status === s.cls ? '' : s.cls;
        apply();
      });
      summary.appendChild(button);
    });
    // Stale controllers: shown only while there are some.
    var stale = document.createElement('button');
    stale.type = 'button';
    stale.className = 'status-chip chip-stale';
    stale.setAttribute('data-status', 'stale');
    stale.setAttribute('aria-pressed', 'false');
    stale.hidden = true;
    stale.innerHTML = '<span class="count">0</span> Stale';
    stale.title = 'Not polled (v3-only, no SNMPv3 profile): their last status';
    stale.addEventListener('click', function () {
      state.status = state.status === 'stale' ? '' : 'stale';
      apply();
    });
    summary.appendChild(stale);
    bar.appendChild(summary);

    var filter = document.createElement('input');
    filter.type = 'search';
    filter.id = 'list-filter';
    filter.placeholder = 'Filter by name, address or model';
    filter.setAttribute('aria-label', 'Filter the list');
    filter.addEventListener('input', function () {
      state.text = filter.value.trim().toLowerCase();
      apply();
    });
    bar.appendChild(filter);
  }

  // Status sorts worst first: Failed, Degraded, Unknown, OK.
  var STATUS_ORDER = [3, 1, 0, 2];

  function sortKey(row, column) {
    if (column === 0) return STATUS_ORDER[rowStatus(row)];
    if (column === 1) return rowName(row).toLowerCase();
    var cell = row.cells[column];
    if (!cell) return '';
    if (cell.hasAttribute('data-sort')) return Number(cell.getAttribute('data-sort'));
    var text = cell.textContent.trim();
    if (column === 2) {
      // Addresses sort by their numbers.
      var parts = text.split('.');
      if (parts.length === 4 && parts.every(function (p) { return /^\d+$/.test(p); })) {
        return parts.reduce(function (n, p) { return n * 256 + Number(p); }, 0);
      }
    }
    return text.toLowerCase();
  }

  function sortBy(column) {
    if (state.sortColumn === column) {
      state.sortDescending = !state.sortDescending;
    } else {
      state.sortColumn = column;
      state.sortDescending = false;
    }
    apply();
  }

  function apply() {
    var doc = shown && shown.contentDocument;
    var rows = elementRows(doc);
    // A stale row counts as stale and, when its last status was not OK,
    // under that status too; never as OK.
    var counts = [0, 0, 0, 0, 0, 0];
    var STALE = STATUSES.length;
    rows.forEach(function (row) {
      var stale = row.classList.contains('row-stale');
      if (stale) counts[STALE]++;
      if (!stale || rowStatus(row) !== 0) counts[rowStatus(row)]++;
    });
    if (summary) {
      Array.prototype.forEach.call(summary.children, function (button, i) {
        var cls = button.getAttribute('data-status');
        button.querySelector('.count').textContent = String(counts[i]);
        // The not-polled and stale chips only while some element is so.
        if (i === NOT_POLLED || cls === 'stale') button.hidden = counts[i] === 0 && state.status !== cls;
        button.setAttribute('aria-pressed', state.status === cls ? 'true' : 'false');
      });
    }
    if (!rows.length) return;
    var matching = 0;
    rows.forEach(function (row) {
      var stale = row.classList.contains('row-stale');
      var statusOk = !state.status || (state.status === 'stale' ? stale
                                       : row.classList.contains('status-' + state.status) &&
                                         !(state.status === 'ok' && stale));
      var textOk = !state.text || row.textContent.toLowerCase().indexOf(state.text) >= 0;
      row.hidden = !(statusOk && textOk);
      if (!row.hidden) matching++;
    });
    var table = tableOf(doc);
    noMatches(doc, rows, matching);
    var header = table.querySelector('tr.column-header');
    if (header) {
      Array.prototype.forEach.call(header.cells, function (cell, column) {
        if (column === state.sortColumn) {
          cell.setAttribute('aria-sort', state.sortDescending ? 'descending' : 'ascending');
        } else {
          cell.removeAttribute('aria-sort');
        }
      });
    }
    if (state.sortColumn >= 0) {
      var column = state.sortColumn;
      var sorted = rows.slice().sort(function (a, b) {
        var x = sortKey(a, column);
        var y = sortKey(b, column);
        var order = x < y ? -1 : x > y ? 1 : 0;
        if (order === 0) order = rowName(a).localeCompare(rowName(b));
        return state.sortDescending ? -order : order;
      });
      var anchor = rows[rows.length - 1].nextElementSibling;
      var parent = rows[0].parentNode;
      sorted.forEach(function (row) { parent.insertBefore(row, anchor); });
    }
  }

  // A filter nothing matches says so in the list, under its header.
  function noMatches(doc, rows, matching) {
    var row = doc.getElementById('no-matches');
    if (matching > 0) {
      if (row) row.remove();
      return;
    }
    if (!row) {
      row = doc.createElement('tr');
      row.id = 'no-matches';
      row.className = 'no-matches';
      var cell = doc.createElement('td');
      cell.colSpan = Math.max(rows[0].cells.length, 1);
      row.appendChild(cell);
      rows[rows.length - 1].parentNode.insertBefore(row, rows[rows.length - 1].nextElementSibling);
    }
    var what = [];
    if (state.status) what.push('status ' + textOf(state.status));
    if (state.text) what.push('\u201c' + state.text + '\u201d');
    row.cells[0].textContent = 'No tape controller matches ' + what.join(' and ') + '.';
  }

  // The list's frame is as tall as the list: the page scrolls, not the frame.
  function fitFrame(frame) {
    var doc = frame.contentDocument;
    if (!doc || !doc.body || frame.hidden) return;
    // The body's own extent (not the document's, which is at least the
    // frame's height): a list that got shorter gets a shorter frame.
    var style = frame.contentWindow.getComputedStyle(doc.body);
    var height = doc.body.getBoundingClientRect().bottom + frame.contentWindow.scrollY + parseFloat(style.marginBottom || '0');
    frame.style.height = Math.ceil(height) + 'px';
  }

  function followHeight(frame) {
    var win = frame.contentWindow;
    var doc = frame.contentDocument;
    if (!win || !doc || !doc.body || !win.ResizeObserver || frame.sizeWatch === doc) return;
    frame.sizeWatch = doc;
    new win.ResizeObserver(function () { fitFrame(frame); }).observe(doc.body);
  }

  // ---------- the two frames ----------
  function fetchStatus() {
    return fetch('status.json', { credentials: 'same-origin', cache: 'no-store' })
      .then(function (r) {
        var type = r.headers.get('Content-Type') || '';
        if (!r.ok || type.indexOf('application/json') !== 0) throw new Error('signed out?');
        return r.json();
      })
      .catch(function () { return null; });
  }

  function signedOut(frame) {
    try {
      var path = frame.contentWindow.location.pathname;
      return path.indexOf('/KOR/') !== 0;
    } catch (e) {
      return true;
    }
  }

  // What the user may do: read from the first status.json answered.
  var level = '';
  function offer(status) {
    if (!status || typeof status.level !== 'string' || status.level === level) return;
    level = status.level;
    document.body.setAttribute('data-level', level);
    var config = document.getElementById('config-link');
    if (config) config.hidden = level === 'administrator' || level === 'none';
    // Discovery adds devices: administrators only.
    var discover = document.getElementById('discovery-link');
    if (discover) discover.hidden = level !== 'administrator';
  }

  // The configuration opens in a window of its own, as the Actions menu
  // opens it (its Close and Help buttons work on that window).
  function setUpConfigLink() {
    var config = document.getElementById('config-link');
    if (!config) return;
    config.addEventListener('click', function (ev) {
      var win = window.open(config.href, config.target, 'width=600,height=600,resizable=yes,scrollbars=yes');
      if (!win) return;
      ev.preventDefault();
      win.focus();
    });
  }

  function fetchAlarms() {
    return fetch('api/v1/alarms', { credentials: 'same-origin', cache: 'no-store' })
      .then(function (r) { return r.ok ? r.json() : null; })
      .catch(function () { return null; });
  }

  // A controller whose alarm somebody took is marked, with who, under its
  // name, and one in a maintenance window "In maintenance"; the Alarms link
  // counts the active alarms nobody has taken.
  function markAlarms(doc, alarms) {
    if (!alarms || !alarms.alarms) return;
    var owners = {};
    var maintained = {};
    var raised = 0;
    alarms.alarms.forEach(function (a) {
      if (a.state === 'raised') raised++;
      if (a.state === 'acknowledged' && a.acknowledgement) owners[a.element] = a.acknowledgement.by;
      if (a.state === 'maintenance') maintained[a.element] = true;
    });
    var link = document.getElementById('alarms-link');
    if (link) {
      link.textContent = raised ? 'Alarms (' + raised + ')' : 'Alarms';
      link.classList.toggle('alarms-raised', raised > 0);
    }
    elementRows(doc).forEach(function (row) {
      var owner = owners[rowName(row)];
      var inMaintenance = maintained[rowName(row)] === true;
      var text = inMaintenance ? 'In maintenance' : owner !== undefined ? 'Acknowledged by ' + owner : '';
      var nameCell = row.cells[1];
      row.classList.toggle('row-acknowledged', owner !== undefined);
      row.classList.toggle('row-maintenance', inMaintenance);
      var mark = nameCell && nameCell.querySelector('.ack-mark');
      if (text && !mark && nameCell) {
        mark = doc.createElement('a');
        mark.className = 'ack-mark';
        mark.href = 'alarms.html';
        mark.target = '_top';
        nameCell.appendChild(mark);
      }
      if (mark) {
        mark.textContent = text;
        mark.hidden = !text;
      }
    });
  }

  function decorate(frame) {
    return Promise.all([fetchStatus(), fetchAlarms()]).then(function (both) {
      offer(both[0]);
      var doc = frame.contentDocument;
      prepare(doc);
      joinTimes(doc, both[0]);
      markAlarms(doc, both[1]);
    });
  }

  function show(frame) {
    if (frame === shown) return;
    var old = shown;
    shown = frame;
    spare = old;
    old.id = 'elements-spare';
    old.name = 'elements-spare';
    old.hidden = true;
    old.setAttribute('aria-hidden', 'true');
    frame.id = 'elements';
    frame.name = 'elements';
    frame.hidden = false;
    frame.removeAttribute('aria-hidden');
    fitFrame(frame);
  }

  // A frame finished loading a list, on its own (a dialog reloaded it, a
  // click inside it) or for a refresh.
  function onFrameLoad(frame) {
    if (signedOut(frame)) {
      window.location.href = '/zepa/login?return=' + encodeURIComponent('/KOR/');
      return;
    }
    decorate(frame).then(function () {
      show(frame);
      apply();
      markChanges();
      followHeight(frame);
      fitFrame(frame);
      if (pendingLoad && frame === pendingLoad.frame) {
        pendingLoad.resolve();
        pendingLoad = null;
      } else if (live) {
        live.loaded();
      }
    });
  }

  function reloadList() {
    var main = shown.parentNode;
    main.classList.add('refreshing');
    return new Promise(function (resolve) {
      pendingLoad = { frame: spare, resolve: resolve };
      spare.src = 'elements.html?refresh=' + Date.now();
    }).then(function () {
      main.classList.remove('refreshing');
    });
  }

  // ---------- following the agent ----------
  function classOf(status) {
    if (status === -1) return STATUSES[NOT_POLLED].cls;
    return status >= 0 && status <= 2 ? STATUSES[status].cls : 'unknown';
  }

  function textOf(cls) {
    for (var i = 0; i < STATUSES.length; i++) if (STATUSES[i].cls === cls) return STATUSES[i].text;
    return cls;
  }

  function listed() {
    var map = {};
    elementRows(shown && shown.contentDocument).forEach(function (row) {
      map[rowName(row)] = { cls: STATUSES[rowStatus(row)].cls, address: row.cells[2] ? row.cells[2].textContent.trim() : '' };
    });
    return map;
  }

  // The rows whose status changed since the list before: highlighted, said
  // in words, and a notification for each that failed.
  function markChanges() {
    var now = Date.now();
    var rows = listed();
    var words = [];
    if (seen) {
      Object.keys(rows).forEach(function (name) {
        var before = seen[name];
        if (!before || before.cls === rows[name].cls) return;
        // The list's image says unknown until status.json tells it apart:
        // a word put right, not a change.
        if (before.cls === 'unknown' && rows[name].cls === STATUSES[NOT_POLLED].cls) return;
        highlights[name] = now + HIGHLIGHT_MS;
        words.push(name + ': ' + textOf(before.cls) + ' \u2192 ' + textOf(rows[name].cls));
        if (rows[name].cls === 'failed') notifyFailure(name, rows[name].address, textOf(before.cls));
      });
    }
    seen = rows;
    if (words.length && changeNote) changeNote.textContent = changeNote.title = words.join('; ');
    elementRows(shown.contentDocument).forEach(function (row) {
      var until = highlights[rowName(row)];
      if (!until || until <= now) return;
      row.classList.add('row-changed');
      setTimeout(function () { row.classList.remove('row-changed'); }, until - now);
    });
    var last = Object.keys(highlights).reduce(function (m, n) { return Math.max(m, highlights[n]); }, 0);
    if (changeNote && words.length) {
      setTimeout(function () { if (Date.now() >= last) changeNote.textContent = ''; }, last - now);
    }
  }

  function differs(status) {
    var rows = listed();
    if (Object.keys(rows).length !== status.elements.length) return true;
    return status.elements.some(function (e) { return !rows[e.name] || rows[e.name].cls !== classOf(e.status); });
  }

  // Statuses only changed: the rows take them from status.json in place
  // (a list load asks every controller, and waits for a silent one).
  function sameSet(status) {
    var rows = listed();
    return Object.keys(rows).length === status.elements.length &&
           status.elements.every(function (e) { return !!rows[e.name]; });
  }

  function setStatuses(status) {
    var byName = {};
    status.elements.forEach(function (e) { byName[e.name] = classOf(e.status); });
    elementRows(shown.contentDocument).forEach(function (row) {
      var cls = byName[rowName(row)];
      if (!cls || row.classList.contains('status-' + cls)) return;
      STATUSES.forEach(function (st) { row.classList.remove('status-' + st.cls); });
      row.classList.add('status-' + cls);
      var img = row.querySelector('img.status-icon');
      if (img) {
        img.src = (cls === STATUSES[NOT_POLLED].cls ? 'unknown' : cls) + '.gif';
        img.alt = img.title = textOf(cls);
      }
      var text = row.querySelector('.status-text');
      if (text) text.textContent = textOf(cls);
    });
    apply();
    markChanges();
  }

  function poll() {
    pollTimer = null;
    if (document.hidden || !shown) return;
    Promise.all([fetchStatus(), fetchAlarms()]).then(function (both) {
      var status = both[0];
      var busy = shown.parentNode.classList.contains('refreshing');
      if (status && status.elements && !busy) {
        if (joinTimes(shown.contentDocument, status)) apply();
        markAlarms(shown.contentDocument, both[1]);
        // The rows now show what status.json says: so does "Updated".
        if (live) live.loaded();
        var signature = status.elements.map(function (e) { return e.name + '=' + e.status; }).join(',');
        // Once per new set of statuses: a list that still disagrees after
        // loading anew is not loaded again and again.
        if (signature !== lastSignature && differs(status)) {
          if (sameSet(status)) setStatuses(status);
          else live.refresh();
        }
        lastSignature = signature;
      }
      schedulePoll();
    });
  }

  function schedulePoll() {
    if (pollTimer) clearTimeout(pollTimer);
    pollTimer = document.hidden ? null : setTimeout(poll, POLL_MS);
  }

  function notifyFailure(name, address, before) {
    if (!notifyBox || !notifyBox.checked || !window.Notification || Notification.permission !== 'granted') return;
    try {
      new Notification(name + ' failed', { body: name + ' (' + address + '): ' + before + ' \u2192 Failed', tag: 'kor-' + name });
    } catch (e) { /* notifications may be refused on this page */ }
  }

  function buildNotify(controls) {
    var label = document.createElement('label');
    label.className = 'notify-toggle';
    notifyBox = document.createElement('input');
    notifyBox.type = 'checkbox';
    notifyBox.id = 'notify-failures';
    label.appendChild(notifyBox);
    label.appendChild(document.createTextNode(' Notify on failure'));
    label.title = 'A browser notification when a tape controller fails';
    if (!window.Notification) {
      notifyBox.disabled = true;
      label.title = 'This browser cannot show notifications';
    } else {
      try { notifyBox.checked = localStorage.getItem(NOTIFY_KEY) === '1' && Notification.permission === 'granted'; } catch (e) { /* off */ }
    }
    notifyBox.addEventListener('change', function () {
      var keep = function () { try { localStorage.setItem(NOTIFY_KEY, notifyBox.checked ? '1' : '0'); } catch (e) { /* not kept */ } };
      if (!notifyBox.checked || Notification.permission === 'granted') return keep();
      Promise.resolve(Notification.requestPermission()).then(function (answer) {
        notifyBox.checked = answer === 'granted';
        if (!notifyBox.checked) label.title = 'Notifications are blocked for this site in the browser';
        keep();
      });
    });
    controls.insertBefore(label, controls.firstChild);
  }

  function start() {
    shown = document.getElementById('elements');
    if (!shown) return;
    spare = document.createElement('iframe');
    spare.id = 'elements-spare';
    spare.name = 'elements-spare';
    spare.title = 'Tape controller list';
    spare.hidden = true;
    spare.setAttribute('aria-hidden', 'true');
    shown.parentNode.appendChild(spare);
    [shown, spare].forEach(function (frame) {
      frame.addEventListener('load', function () {
        if (frame.getAttribute('src') || frame === shown) onFrameLoad(frame);
      });
    });

    setUpConfigLink();
    var bar = document.getElementById('console-bar');
    buildSummary(bar);
    var controls = document.createElement('div');
    bar.appendChild(controls);
    live = window.LiveRefresh.create(controls, reloadList);
    buildNotify(controls);
    changeNote = document.createElement('span');
    changeNote.className = 'change-note';
    changeNote.setAttribute('role', 'status');
    changeNote.setAttribute('aria-live', 'polite');
    bar.insertBefore(changeNote, controls);
    document.addEventListener('visibilitychange', function () {
      if (document.hidden) {
        if (pollTimer) clearTimeout(pollTimer);
        pollTimer = null;
      } else {
        poll();
      }
    });
    schedulePoll();
    // The list may have loaded before this script ran.
    if (shown.contentDocument && shown.contentDocument.readyState === 'complete' && tableOf(shown.contentDocument)) {
      onFrameLoad(shown);
    }
  }

  // A dialog that changed the managed set reports it here (orla_dialogs.js).
  window.KorConsole = { apply: apply, refresh: function () { return live && live.refresh(); } };
  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', start);
  } else {
    start();
  }
})();
