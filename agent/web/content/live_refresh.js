/*
 * Live refresh controls shared by the root page and the events page:
 *
 *   var live = LiveRefresh.create(container, reload);
 *
 * puts into `container` an interval picker (Off, 15 s, 30 s, 1 min, 5 min;
 * the choice is remembered in this browser), a "Refresh" button and an
 * "Updated hh:mm:ss" note. `reload()` must return a Promise that settles
 * when the new data is in; while it runs the container is marked as
 * refreshing and no second reload starts. live.refresh() reloads at once;
 * live.loaded() stamps "Updated" (reload's Promise resolving does it too).
 * While the page is hidden the interval reloads nothing.
 */
(function () {
  'use strict';

  var STORAGE_KEY = 'kor.refreshSeconds';
  var CHOICES = [[0, 'Off'], [15, '15 s'], [30, '30 s'], [60, '1 min'], [300, '5 min']];
  var DEFAULT_SECONDS = 30;

  function remembered() {
    try {
      var value = window.localStorage.getItem(STORAGE_KEY);
      if (value !== null && CHOICES.some(function (c) { return String(c[0]) === value; })) return Number(value);
    } catch (e) { /* storage may be off: the default holds */ }
    return DEFAULT_SECONDS;
  }

  function remember(seconds) {
    try { window.localStorage.setItem(STORAGE_KEY, String(seconds)); } catch (e) { /* not kept */ }
  }

  function two(n) { return (n < 10 ? '0' : '') + n; }

  function clock(date) {
    return two(date.getHours()) + ':' + two(date.getMinutes()) + ':' + two(date.getSeconds());
  }

  function create(container, reload) {
    var seconds = remembered();
    var timer = null;
    var running = false;

    container.classList.add('live-refresh');
    var label = document.createElement('label');
    label.className = 'refresh-interval';
    label.appendChild(document.createTextNode('Auto-refresh '));
    var select = document.createElement('select');
    select.name = 'refresh-interval';
    CHOICES.forEach(function (c) {
      var option = document.createElement('option');
      option.value = String(c[0]);
      option.textContent = c[1];
      if (c[0] === seconds) option.selected = true;
      select.appendChild(option);
    });
    label.appendChild(select);

    var button = document.createElement('button');
    button.type = 'button';
    button.className = 'refresh-button';
    button.textContent = 'Refresh';

    var updated = document.createElement('span');
    updated.className = 'updated';
    updated.setAttribute('role', 'status');
    updated.setAttribute('aria-live', 'polite');

    container.appendChild(label);
    container.appendChild(button);
    container.appendChild(updated);

    // A hidden page does not reload on its own: the reload that fell due
    // meanwhile runs when the page is shown again.
    var due = false;
    function onTimer() {
      timer = null;
      if (document.hidden) due = true;
      else refresh();
    }
    document.addEventListener('visibilitychange', function () {
      if (!document.hidden && due) {
        due = false;
        refresh();
      }
    });

    function schedule() {
      if (timer) clearTimeout(timer);
      timer = seconds > 0 ? setTimeout(onTimer, seconds * 1000) : null;
    }

    function loaded() {
      var now = new Date();
      updated.textContent = 'Updated ' + clock(now);
      updated.title = now.toString();
    }

    function refresh() {
      if (running) return Promise.resolve();
      running = true;
      container.classList.add('refreshing');
      button.disabled = true;
      updated.textContent = 'Refreshing\u2026';
      return Promise.resolve()
        .then(reload)
        .then(loaded, function (error) {
          updated.textContent = 'Refresh failed' + (error && error.message ? ': ' + error.message : '');
        })
        .then(function () {
          running = false;
          container.classList.remove('refreshing');
          button.disabled = false;
          schedule();
        });
    }

    select.addEventListener('change', function () {
      seconds = Number(select.value);
      remember(seconds);
      schedule();
    });
    button.addEventListener('click', function () { refresh(); });
    schedule();
    return { refresh: refresh, loaded: loaded, schedule: schedule };
  }

  window.LiveRefresh = { create: create, clock: clock };
})();
