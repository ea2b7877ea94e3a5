/*
 * Shared scripts of the tape controller pages.
 *
 * Every page of the agent loads this file first. It offers the functions the
 * pages call:
 *   includeStyleSheet()              links the style sheet (done on load too, so
 *                                    pages that call it only for one browser
 *                                    get their look all the same)
 *   SizeToFit()                      a dialog window takes the size of its content
 *   BeginContentBlock() /
 *   EndContentBlock()                frame a dialog's content, with its title
 *   launchHelp(url)                  opens a help page in the help window
 *   refresh()                        reloads this window; dialogs call it on
 *                                    their opener (the element list) after a change
 *   orlaShowJson(file, show)         for our scripts beside a page: hands the
 *                                    agent's JSON answer to show once the page is read
 * and, once the page is read, gives status images a text (alt, title and a
 * label), marks the element table's rows for the style sheet, and puts the
 * keyboard focus where a dialog expects it.
 *
 * The error pages load this file by an absolute URL, so everything it loads
 * itself is found next to the script, not next to the page.
 */
(function () {
  'use strict';

  var script = document.currentScript;
  var base = script && script.src ? script.src.replace(/[^\/]*$/, '') : '/KOR/';
  var STYLE_SHEET = 'orla.css';

  // The four status images, what they mean and the class of their row.
  var STATUS = {
    'ok.gif': { text: 'OK', cls: 'ok' },
    'degraded.gif': { text: 'Degraded', cls: 'degraded' },
    'failed.gif': { text: 'Failed', cls: 'failed' },
    'unknown.gif': { text: 'Unknown', cls: 'unknown' }
  };

  function fileName(src) {
    var path = (src || '').split(/[?#]/)[0];
    return path.substring(path.lastIndexOf('/') + 1).toLowerCase();
  }

  window.orlaBase = base;

  window.includeStyleSheet = function () {
    if (document.getElementById('orla-style') ||
        document.querySelector('link[rel=stylesheet][href$="/' + STYLE_SHEET + '"]')) return;
    var link = document.createElement('link');
    link.id = 'orla-style';
    link.rel = 'stylesheet';
    link.href = base + STYLE_SHEET;
    (document.head || document.documentElement).appendChild(link);
    if (!document.querySelector('meta[name=viewport]')) {
      var meta = document.createElement('meta');
      meta.name = 'viewport';
      meta.content = 'width=device-width, initial-scale=1';
      (document.head || document.documentElement).appendChild(meta);
    }
  };

  window.refresh = function () {
    window.location.reload();
  };

  window.launchHelp = function (url) {
    var help = window.open(url || base + 'help/index.htm', 'KORHelp',
                           'width=760,height=680,resizable=yes,scrollbars=yes');
    if (help) help.focus();
    return false;
  };

  // A readable title for the frame of a dialog ("AgentConfiguration" reads
  // "Agent Configuration").
  function dialogTitle() {
    return (document.title || '').replace(/([a-z])([A-Z])/g, '$1 $2');
  }

  window.BeginContentBlock = function () {
    var title = dialogTitle();
    // The window's title reads like its heading.
    if (title && title !== document.title) document.title = title;
    var heading = '';
    if (title) {
      var h = document.createElement('h1');
      h.className = 'dialog-title';
      h.textContent = title;
      heading = h.outerHTML;
    }
    document.write('<div class="content-block" id="content-block">' + heading);
  };

  window.EndContentBlock = function () {
    document.write('</div>');
  };

  window.SizeToFit = function () {
    // Only a window of its own (a dialog opened by the element list) is
    // resized; a page in a tab or a frame keeps the size it has.
    if (window.top !== window || !window.opener) return;
    var block = document.getElementById('content-block') || document.body;
    var style = window.getComputedStyle(document.body);
    var below = parseFloat(style.paddingBottom || '0') + parseFloat(style.marginBottom || '0');
    var height = Math.ceil(block.getBoundingClientRect().bottom + window.scrollY + below + 8);
    var width = Math.max(document.documentElement.scrollWidth, 420);
    var chromeHeight = Math.max(window.outerHeight - window.innerHeight, 0);
    var chromeWidth = Math.max(window.outerWidth - window.innerWidth, 0);
    var maxHeight = (window.screen && window.screen.availHeight) || 800;
    var maxWidth = (window.screen && window.screen.availWidth) || 1024;
    try {
      window.resizeTo(Math.min(width + chromeWidth, maxWidth), Math.min(height + chromeHeight, maxHeight));
    } catch (e) {
      /* a browser that refuses keeps the window as it is */
    }
  };

  // Status images: a text for people who cannot see them, a tooltip, and a
  // short label beside them; the row gets the status as a class.
  function describeStatusImages() {
    var images = document.images;
    for (var i = 0; i < images.length; i++) {
      var img = images[i];
      var status = STATUS[fileName(img.getAttribute('src'))];
      if (!status) continue;
      if (!img.getAttribute('alt')) img.setAttribute('alt', status.text);
      if (!img.getAttribute('title')) img.setAttribute('title', status.text);
      img.classList.add('status-icon');
      var cell = img.parentNode;
      if (cell && cell.tagName === 'TD' && !cell.querySelector('.status-text')) {
        cell.classList.add('status-cell');
        var label = document.createElement('span');
        label.className = 'status-text';
        label.textContent = status.text;
        cell.appendChild(label);
        if (cell.parentNode) cell.parentNode.classList.add('element-row', 'status-' + status.cls);
      }
    }
    var warnings = document.querySelectorAll('img[src$="warningwhite.gif"]');
    for (var w = 0; w < warnings.length; w++) {
      if (!warnings[w].getAttribute('alt')) warnings[w].setAttribute('alt', 'Warning');
      warnings[w].classList.add('warning-icon');
    }
  }

  // The element list's table: its title, header and rule rows and the
  // element rows (which the page writes without row tags of their own).
  function markElementTable() {
    var cells = document.querySelectorAll('td.header');
    for (var i = 0; i < cells.length; i++) {
      var table = cells[i].closest('table');
      if (!table) continue;
      table.classList.add('element-table');
      var rows = table.rows;
      for (var r = 0; r < rows.length; r++) {
        var row = rows[r];
        if (row.classList.contains('header')) {
          row.classList.add('column-header');
        } else if (row.querySelector('td.header')) {
          row.classList.add('table-title');
        } else if (row.querySelector('img[src*="pixel_"]')) {
          row.classList.add('rule-row');
        } else if (row.cells.length === 0) {
          row.classList.add('empty-row');
        } else if (row.cells.length >= 4) {
          row.classList.add('element-row');
        }
      }
      break;
    }
  }

  // An empty list tells an administrator where to start.
  function hintWhenEmpty() {
    if (!window.TCMAction) return;
    var notes = document.querySelectorAll('div.head2');
    for (var i = 0; i < notes.length; i++) {
      if (notes[i].textContent.trim() !== 'No elements defined.') continue;
      var hint = document.createElement('div');
      hint.className = 'empty-hint';
      hint.textContent = 'Choose Actions \u2192 Add\u2026 to start managing a tape controller.';
      notes[i].parentNode.insertBefore(hint, notes[i].nextSibling);
    }
  }

  // Buttons say OK the one way (the About page writes " Ok ").
  function wordButtons() {
    var buttons = document.querySelectorAll('input[type=button], input[type=submit]');
    for (var i = 0; i < buttons.length; i++) {
      if (/^\s*ok\s*$/i.test(buttons[i].value) && buttons[i].value !== 'OK') buttons[i].value = 'OK';
    }
  }

  // Dialogs: the first field gets the focus when the page's own load handler
  // has not placed it.
  function focusFirstField() {
    if (!document.body || !document.body.classList.contains('dialog')) return;
    var active = document.activeElement;
    if (active && active !== document.body) return;
    var field = document.querySelector('input[type=text]:not([disabled])') ||
                document.querySelector('select:not([disabled]), input[type=submit], input[type=button]');
    if (field) field.focus();
  }

  window.includeStyleSheet();

  // A JSON answer of the agent for a script of ours beside a page: `show`
  // gets it once the page is read; without a session (or a fetch) nothing
  // happens and the page stays as it is.
  window.orlaShowJson = function (file, show) {
    function load() {
      if (!window.fetch) return;
      fetch(base + file, {credentials: 'same-origin', redirect: 'manual', cache: 'no-store'})
        .then(function (r) { return r.ok ? r.json() : null; })
        .then(show)
        .catch(function () { /* no session: the page stays as it is */ });
    }
    if (document.readyState === 'loading') {
      document.addEventListener('DOMContentLoaded', load);
    } else {
      load();
    }
  };

  // A script of ours beside this one, once.
  function loadScript(id, file) {
    if (document.getElementById(id)) return;
    var s = document.createElement('script');
    s.id = id;
    s.src = base + file;
    (document.head || document.documentElement).appendChild(s);
  }
  // Dialogs also get the busy notice of slow changes (busy_notice.js).
  function loadBusyNotice() { loadScript('orla-busy-notice', 'busy_notice.js'); }
  // The About page shows the agent's SNMP engine (about_engine.js); the
  // configuration page, the add dialog and the root page what v3-only mode
  // changes, and the profiles page the confirmation of its switch
  // (snmpv3_mode.js); a device page its SNMPv3 engine
  // (device_engine.js).
  function isDevicePage() { return window.location.pathname.indexOf('/KOR/WebAgent/') === 0; }

  document.addEventListener('DOMContentLoaded', function () {
    describeStatusImages();
    wordButtons();
    markElementTable();
    hintWhenEmpty();
    if (document.body && document.body.classList.contains('dialog')) loadBusyNotice();
    if (document.body && document.body.classList.contains('about')) loadScript('orla-about-engine', 'about_engine.js');
    if (document.querySelector('form[action="agent_config.html"], form[action="add_element.html"], #console-bar, ' +
                               '#v3_only_form, #agent_config_view')) {
      loadScript('orla-snmpv3-mode', 'snmpv3_mode.js');
    }
    if (isDevicePage()) loadScript('orla-device-engine-script', 'device_engine.js');
  });
  window.addEventListener('load', function () {
    setTimeout(focusFirstField, 0);
  });
})();

/*
 * The scripts that repair the pages' accessibility
 * (orla_access.js) and make the dialogs forgiving (orla_dialogs.js), loaded
 * beside this file in this order; each does its work once the page is read.
 * (The pages' icon comes from the web server, which sends /favicon.ico on to
 * favicon.svg.)
 */
(function () {
  'use strict';

  var base = window.orlaBase || '/KOR/';
  var head = document.head || document.documentElement;

  ['orla_access.js', 'orla_dialogs.js'].forEach(function (file) {
    var script = document.createElement('script');
    script.src = base + file;
    script.async = false;
    head.appendChild(script);
  });
})();
