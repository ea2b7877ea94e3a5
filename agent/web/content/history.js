/*
 * The history page (history.html?element=NAME): asks the history endpoint
 * (api/v1/elements/NAME/history?range=R) for the range picked and draws its
 * series with Chart.js, which the agent serves itself: per port the errors
 * per hour stacked by kind and the throughput, per drive the mounts per day
 * and the hours, for the library its slots. Each chart has a table of the
 * same points after it (made when opened), for screen readers and anyone
 * who wants the numbers; gaps stay gaps (null). Every
 * text from the agent is put in as text, never as markup.
 */
(function () {
  'use strict';

  var element = document.getElementById('history-element').textContent;
  var charts = document.getElementById('history-charts');
  var summary = document.getElementById('history-summary');
  var picker = document.getElementById('history-range');
  var drawn = [];
  var COLORS = ['#1f5fbf', '#b3261e', '#2f855a', '#b7791f', '#6b46c1', '#2c7a7b', '#c05621', '#52606d'];
  var KINDS = {
    crc_errors: 'CRC errors', link_failures: 'Link failures', loss_of_sync: 'Loss of sync',
    loss_of_signal: 'Loss of signal', invalid_tx_words: 'Invalid transmission words',
    primitive_sequence_errors: 'Primitive sequence errors', class3_discards: 'Class 3 discards',
    link_resets: 'Link resets', tx_frames: 'Frames sent', rx_frames: 'Frames received',
    tx_octets: 'Bytes sent', rx_octets: 'Bytes received', mounts: 'Mounts', power_on_hours: 'Power-on hours',
    total_power_on_hours: 'Power-on hours, total', slots: 'Slots', slots_used: 'Slots in use',
    cleaning_cartridges: 'Cleaning cartridges'
  };

  function two(n) { return (n < 10 ? '0' : '') + n; }

  // The point's time in full (the tables), and as short as the range allows
  // (the charts' axis).
  function timeText(ms, range) {
    var d = new Date(ms);
    var day = d.getFullYear() + '-' + two(d.getMonth() + 1) + '-' + two(d.getDate());
    return range === 'year' ? day : day + ' ' + two(d.getHours()) + ':' + two(d.getMinutes());
  }

  function tickText(ms, range) {
    var d = new Date(ms);
    var time = two(d.getHours()) + ':' + two(d.getMinutes());
    var day = two(d.getMonth() + 1) + '-' + two(d.getDate());
    return range === 'day' ? time : range === 'year' ? d.getFullYear() + '-' + day : day + ' ' + time;
  }

  function kindText(kind) { return KINDS[kind] || kind; }

  // A line's dots: only where a run of values begins or ends (a gap or the
  // end of the range beside it). A run of one or a few polls, such as a new
  // element's first minutes in a day of 1440 points, is narrower than a
  // pixel and would show nothing; a long run shows as a plain line.
  function edgeRadius(context) {
    var data = context.dataset.data;
    var i = context.dataIndex;
    var missing = function (j) { return j < 0 || j >= data.length || data[j] === null || data[j] === undefined; };
    return !missing(i) && (missing(i - 1) || missing(i + 1)) ? 3 : 0;
  }

  function el(tag, className, text) {
    var node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function pointTable(title, series, labels) {
    var table = el('table', 'history-table');
    table.appendChild(el('caption', '', title));
    var head = table.createTHead().insertRow();
    head.appendChild(el('th', '', 'Time')).setAttribute('scope', 'col');
    series.forEach(function (s) { head.appendChild(el('th', '', kindText(s.kind) + ' (' + s.unit + ')')).setAttribute('scope', 'col'); });
    var body = table.createTBody();
    labels.forEach(function (label, i) {
      var row = body.insertRow();
      row.appendChild(el('th', '', label)).setAttribute('scope', 'row');
      series.forEach(function (s) {
        var v = s.points[i];
        row.appendChild(el('td', '', v === null || v === undefined ? 'no data' : String(Math.round(v * 100) / 100)));
      });
    });
    return table;
  }

  // How many times the x axis of a chart `width` pixels wide names: in a
  // phone's width, with an axis on either side, six of them ran together.
  function timeTicks(width) { return width < 480 ? 3 : 6; }

  function fitTimeTicks(chart, size) {
    var ticks = chart.options.scales.x.ticks;
    if (ticks.maxTicksLimit === timeTicks(size.width)) return;
    ticks.maxTicksLimit = timeTicks(size.width);
    chart.update('none');
  }

  // One chart and, on demand, its table: `series` drawn over `labels`.
  function figure(section, title, kind, series, labels, ticks, stacked) {
    var fig = el('figure', 'history-figure');
    fig.appendChild(el('figcaption', '', title));
    var box = el('div', 'chart-box');
    var canvas = el('canvas');
    canvas.setAttribute('role', 'img');
    canvas.setAttribute('aria-label', title + ': the table of these points after the chart holds the same values');
    box.appendChild(canvas);
    fig.appendChild(box);
    // The same points as a table, made when it is opened (a day at a
    // one-minute polling interval is 1440 rows per chart).
    var more = el('details', 'history-points');
    more.appendChild(el('summary', '', 'Table of these points'));
    more.addEventListener('toggle', function () {
      if (!more.open || more.querySelector('table')) return;
      more.appendChild(pointTable(title, series, labels));
    });
    fig.appendChild(more);
    section.appendChild(fig);
    if (typeof Chart === 'undefined') return;
    var units = [];
    series.forEach(function (s) { if (units.indexOf(s.unit) < 0) units.push(s.unit); });
    var scales = { x: { stacked: stacked, ticks: { maxRotation: 0, autoSkip: true, autoSkipPadding: 16,
                                                    maxTicksLimit: timeTicks(box.clientWidth || window.innerWidth) } } };
    units.forEach(function (unit, i) {
      scales['y' + i] = { type: 'linear', position: i === 0 ? 'left' : 'right', stacked: stacked, beginAtZero: true,
                          title: { display: true, text: unit }, grid: { drawOnChartArea: i === 0 } };
    });
    drawn.push(new Chart(canvas, {
      type: kind,
      data: {
        labels: ticks,
        datasets: series.map(function (s, i) {
          return { label: kindText(s.kind), data: s.points, yAxisID: 'y' + units.indexOf(s.unit),
                   backgroundColor: COLORS[i % COLORS.length], borderColor: COLORS[i % COLORS.length],
                   pointRadius: kind === 'line' ? edgeRadius : 0, borderWidth: kind === 'line' ? 2 : 0,
                   spanGaps: false };
        })
      },
      options: { responsive: true, maintainAspectRatio: false, animation: false, normalized: true,
                 onResize: fitTimeTicks,
                 interaction: { mode: 'index', intersect: false },
                 plugins: { legend: { position: 'bottom', labels: { boxWidth: 12 } } }, scales: scales }
    }));
  }

  function partTitle(part, index) {
    return part === 'port' ? 'Port ' + index : part === 'drive' ? 'Drive ' + index : 'Library';
  }

  function show(history, range) {
    drawn.forEach(function (chart) { chart.destroy(); });
    drawn = [];
    charts.textContent = '';
    var labels = history.timestamps.map(function (ms) { return timeText(ms, range); });
    var ticks = history.timestamps.map(function (ms) { return tickText(ms, range); });
    var parts = [];
    var byPart = {};
    history.series.forEach(function (s) {
      var key = s.part + ' ' + s.index;
      if (!byPart[key]) { byPart[key] = []; parts.push(key); }
      byPart[key].push(s);
    });
    parts.forEach(function (key) {
      var series = byPart[key];
      var title = partTitle(series[0].part, series[0].index);
      var section = el('section', 'history-part');
      section.appendChild(el('h2', '', title));
      var of = function (units) { return series.filter(function (s) { return units.indexOf(s.unit) >= 0; }); };
      var errors = of(['errors/h']);
      var throughput = of(['bytes/s', 'frames/s']);
      var mounts = of(['mounts/day']);
      var hours = of(['h']);
      var slots = of(['slots', 'cartridges']);
      if (errors.length) figure(section, title + ': errors per hour by kind', 'bar', errors, labels, ticks, true);
      if (throughput.length) figure(section, title + ': throughput', 'line', throughput, labels, ticks, false);
      if (mounts.length) figure(section, title + ': mounts per day', 'bar', mounts, labels, ticks, false);
      if (hours.length) figure(section, title + ': hours', 'line', hours, labels, ticks, false);
      if (slots.length) figure(section, title + ': slots', 'line', slots, labels, ticks, false);
      charts.appendChild(section);
    });
    summary.textContent = history.series.length === 0 ? 'No history of ' + element + ' yet.'
      : history.timestamps.length + ' points from ' + labels[0] + ' to ' + labels[labels.length - 1] + '.';
  }

  function load() {
    var checked = picker.querySelector('input[name=range]:checked');
    var range = checked ? checked.value : 'day';
    var url = 'api/v1/elements/' + encodeURIComponent(element) + '/history?range=' + range;
    summary.textContent = 'Loading...';
    fetch(url, { credentials: 'same-origin', headers: { Accept: 'application/json' } })
      .then(function (reply) {
        if (reply.status === 401) {
          window.location.href = '/zepa/login?return=' + encodeURIComponent(window.location.pathname + window.location.search);
          return null;
        }
        return reply.json().then(function (body) {
          if (!reply.ok) throw new Error(body && body.error ? body.error : 'The agent answered ' + reply.status + '.');
          return body;
        });
      })
      .then(function (body) { if (body) show(body, range); })
      .catch(function (e) { summary.textContent = e.message; });
  }

  picker.addEventListener('change', load);
  load();
})();
