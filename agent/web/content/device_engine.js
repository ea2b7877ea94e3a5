/*
 * A device page's SNMPv3 line: for an element the agent polls over SNMPv3,
 * the user, the device's engine ID, boots and time as the agent learned
 * them, and the latest security failure (status.json, the entry of the
 * page's addr=). The device page's own markup, written by its device web
 * agent, stays as it is; a device polled with its community, or a visitor
 * without a session, sees the page unchanged.
 */
(function () {
  'use strict';

  function address() {
    var match = /[?&]addr=([^&]*)/.exec(window.location.search);
    return match ? decodeURIComponent(match[1].replace(/\+/g, ' ')) : '';
  }

  function add(line, label, value) {
    line.appendChild(document.createTextNode(label));
    var code = document.createElement('code');
    code.textContent = value;
    line.appendChild(code);
  }

  function show(status, addr) {
    if (!status || !Array.isArray(status.elements)) return;
    var element = null;
    status.elements.forEach(function (e) { if (e.address === addr && e.snmpv3) element = e; });
    if (!element || document.getElementById('orla-device-engine')) return;
    var v3 = element.snmpv3;
    var line = document.createElement('p');
    line.id = 'orla-device-engine';
    line.className = 'device-engine';
    add(line, 'SNMPv3 user ', String(v3.user));
    add(line, ', engine ID ', v3.engineId === null ? 'not yet discovered' : '0x' + String(v3.engineId));
    if (v3.engineBoots !== null) {
      line.appendChild(document.createTextNode(', engine boots ' + String(v3.engineBoots) +
                                               ', engine time ' + String(v3.engineTime) + ' s'));
    }
    if (v3.failure) {
      var failure = document.createElement('strong');
      failure.textContent = ' \u2013 ' + String(v3.failure);
      line.appendChild(failure);
    }
    var heading = document.querySelector('td.header');
    var table = heading && heading.closest('table');
    if (table && table.parentNode) {
      table.parentNode.insertBefore(line, table.nextSibling);
    } else {
      document.body.appendChild(line);
    }
  }

  var addr = address();
  // The administrators' actions of a device page (hidden in its markup).
  function showActions(status) {
    var action = document.getElementById('orla-trap-target-action');
    if (action && status && status.administrator === true) action.hidden = false;
  }

  if (addr) {
    window.orlaShowJson('status.json', function (status) {
      showActions(status);
      show(status, addr);
    });
  }
})();
