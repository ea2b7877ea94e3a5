/*
 * What the v3-only mode changes, said where it matters (snmpv3.json), the
 * pages' own markup left as it is:
 *   - the agent configuration page: a notice that its SNMPv1 trap hosts are
 *     not sent traps in v3-only mode, and a section of ours beneath the page
 *     with the switch (the same v3-only setting as korsnmpv3 v3-only and the
 *     SNMPv3 profiles page) and links to the profiles and notification
 *     targets pages;
 *   - the add dialog and the root page: a notice that an address without an
 *     SNMPv3 profile is not polled.
 * Without a session snmpv3.json is not answered and nothing is added.
 */
(function () {
  'use strict';

  var base = window.orlaBase || '/KOR/';
  var APPLIED = ' The running agent applies it at its next SNMP request.';

  function configForm() { return document.querySelector('form[action="agent_config.html"]'); }
  function addForm() { return document.querySelector('form[action="add_element.html"]'); }

  function noticeText() {
    if (configForm()) return 'v3-only mode is on: the SNMPv1 trap hosts of this list are not used in v3-only mode (they are sent no traps).';
    return 'v3-only mode is on: an address without an SNMPv3 profile is not polled.';
  }

  // The notice at the top of the dialog's content, or beneath the root
  // page's console bar; removed again when the mode is off.
  function showNotice(on) {
    var notice = document.getElementById('orla-v3only-notice');
    if (!on) {
      if (notice) notice.parentNode.removeChild(notice);
      return;
    }
    if (notice) return;
    notice = document.createElement('p');
    notice.id = 'orla-v3only-notice';
    notice.className = 'v3-only-notice';
    notice.setAttribute('role', 'note');
    notice.textContent = noticeText();
    var bar = document.getElementById('console-bar');
    var block = document.getElementById('content-block');
    if (bar && bar.parentNode) {
      bar.parentNode.insertBefore(notice, bar.nextSibling);
    } else if (block) {
      var title = block.querySelector('.dialog-title');
      block.insertBefore(notice, title ? title.nextSibling : block.firstChild);
    } else {
      document.body.insertBefore(notice, document.body.firstChild);
    }
  }

  function fit() { if (typeof window.SizeToFit === 'function') window.SizeToFit(); }

  // The configuration page's section: the mode, its switch, what happened.
  function showSection(state) {
    var section = document.getElementById('orla-snmpv3');
    if (!section) {
      section = document.createElement('section');
      section.id = 'orla-snmpv3';
      section.className = 'orla-snmpv3';
      section.setAttribute('aria-labelledby', 'orla-snmpv3-title');
      section.innerHTML =
        '<h2 class="section-title" id="orla-snmpv3-title">SNMPv3</h2>' +
        '<p><span id="orla-v3only-state"></span> ' +
        '<button type="button" class="button" id="orla-v3only-switch"></button></p>' +
        '<p class="dialog-notice" id="orla-v3only-result" role="status" hidden></p>' +
        '<p><a href="snmpv3_profiles.html">SNMPv3 profiles and assignments</a> &middot; ' +
        '<a href="notification_targets.html">Notification targets</a></p>';
      var block = document.getElementById('content-block') || document.body;
      block.appendChild(section);
      document.getElementById('orla-v3only-switch').addEventListener('click', function () {
        post(section.getAttribute('data-v3-only') === 'on' ? 'off' : 'on');
      });
    }
    var on = state.v3Only === true;
    section.setAttribute('data-v3-only', on ? 'on' : 'off');
    document.getElementById('orla-v3only-state').textContent =
      'v3-only mode is ' + (on ? 'on: no community is used for polling.' : 'off.');
    document.getElementById('orla-v3only-switch').textContent = on ? 'Turn v3-only off' : 'Turn v3-only on';
    var result = document.getElementById('orla-v3only-result');
    if (state.notice || state.error) {
      result.hidden = false;
      result.className = 'dialog-notice ' + (state.error ? 'problem' : 'done');
      result.textContent = state.error ? state.error : state.notice + '.' + APPLIED;
    }
  }

  function show(state) {
    if (!state || typeof state.v3Only !== 'boolean') return;
    showNotice(state.v3Only);
    if (configForm()) showSection(state);
    fit();
  }

  function post(mode) {
    var button = document.getElementById('orla-v3only-switch');
    var was = mode !== 'on';
    if (button) button.disabled = true;
    fetch(base + 'snmpv3.json', {
      method: 'POST',
      credentials: 'same-origin',
      redirect: 'manual',
      headers: {'Content-Type': 'application/x-www-form-urlencoded'},
      body: 'v3_only=' + mode
    })
      .then(function (r) { return r.ok ? r.json() : {v3Only: was, error: 'The agent did not answer (' + r.status + ').'}; })
      .then(show)
      .catch(function () { show({v3Only: was, error: 'The agent did not answer.'}); })
      .then(function () { if (button) button.disabled = false; });
  }

  if (configForm() || addForm() || document.getElementById('console-bar')) window.orlaShowJson('snmpv3.json', show);
})();
