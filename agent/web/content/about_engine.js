/*
 * The About page's SNMP engine line: for a signed-in user, the agent's
 * SNMP engine ID and boots (/KOR/engine.json) beneath the page, which a
 * receiver of the agent's SNMPv3 traps is configured with
 * (createUser -e <engine ID>). The page's own markup stays as it is; a
 * visitor without a session sees it unchanged.
 */
(function () {
  'use strict';

  function show(engine) {
    if (!engine || typeof engine.engineID !== 'string') return;
    var line = document.createElement('p');
    line.id = 'orla-engine';
    line.className = 'about-engine';
    line.appendChild(document.createTextNode('SNMP engine ID '));
    var id = document.createElement('code');
    id.textContent = engine.engineID;
    line.appendChild(id);
    line.appendChild(document.createTextNode(', engine boots ' + String(engine.engineBoots)));
    var form = document.querySelector('form');
    if (form && form.parentNode) {
      form.parentNode.insertBefore(line, form);
    } else {
      document.body.appendChild(line);
    }
  }

  window.orlaShowJson('engine.json', show);
})();
