/*
 * What the v3-only mode changes, said where it matters (snmpv3.json), the
 * pages' own markup left as it is:
 *   - the agent configuration page: a notice that its SNMPv1 trap hosts are
 *     not sent traps in v3-only mode, and a section of ours beneath the page
 *     with the switch (the same v3-only setting as korsnmpv3 v3-only and the
 *     SNMPv3 profiles page) and links to the profiles and notification
 *     targets pages; the page as a user without the administrator right
 *     reads it (no form) gets the notice and the mode in words only;
 *   - the add dialog and the root page: a notice that an address without an
 *     SNMPv3 profile is not polled;
 *   - turning v3-only on (that section's switch, or the SNMPv3 profiles
 *     page's) asks first, in a dialog of the page, naming how many managed
 *     elements no profile covers and would stop being polled (snmpv3.json's
 *     withoutProfile, read when the switch is pressed). Cancel leaves the
 *     mode off; a POST without this script changes it as before.
 * Without a session snmpv3.json is not answered and nothing is added.
 */
(function () {
  'use strict';

  var base = window.orlaBase || '/KOR/';
  var APPLIED = ' The running agent applies it at its next SNMP request.';

  function configForm() { return document.querySelector('form[action="agent_config.html"]'); }
  function addForm() { return document.querySelector('form[action="add_element.html"]'); }
  // The configuration as text, for a user who may not change it.
  function configView() { return document.getElementById('agent_config_view'); }

  function noticeText() {
    if (configForm() || configView()) return 'v3-only mode is on: the SNMPv1 trap hosts of this list are not used in v3-only mode (they are sent no traps).';
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

  var MAX_NAMES = 10;

  function namesText(names) {
    var shown = names.slice(0, MAX_NAMES).join(', ');
    return names.length > MAX_NAMES ? shown + ' and ' + (names.length - MAX_NAMES) + ' more' : shown;
  }

  // What turning v3-only on would stop, in words.
  function consequence(state) {
    if (!state || typeof state.withoutProfile !== 'number') {
      return 'The agent did not say which elements have no SNMPv3 profile: those would stop being polled.';
    }
    var count = state.withoutProfile;
    if (count === 0) return 'Every managed element has an SNMPv3 profile: all of them stay polled.';
    var names = Array.isArray(state.withoutProfileNames) ? state.withoutProfileNames : [];
    return (count === 1 ? '1 element has' : count + ' elements have') + ' no SNMPv3 profile and would stop being ' +
           'polled' + (names.length ? ': ' + namesText(names) : '') + '. ' + (count === 1 ? 'It keeps' : 'Each keeps') +
           ' its last status, shown as stale with the reason \u201cNo SNMPv3 profile (v3-only)\u201d, until a profile ' +
           'is assigned to its address or v3-only is turned off.';
  }

  // Asks before v3-only is turned on; `go` runs on "Turn v3-only on".
  function confirmOn(go, back) {
    window.orlaShowJson('snmpv3.json', function (state) {
      var old = document.getElementById('orla-v3only-confirm');
      if (old) old.remove();
      var ask = document.createElement('dialog');
      ask.id = 'orla-v3only-confirm';
      ask.className = 'confirm-dialog';
      ask.setAttribute('aria-labelledby', 'orla-v3only-confirm-title');
      ask.setAttribute('aria-describedby', 'orla-v3only-confirm-text');
      ask.innerHTML = '<h2 id="orla-v3only-confirm-title">Turn v3-only on?</h2>' +
        '<p id="orla-v3only-confirm-text"></p>' +
        '<p>No community is used any more: SNMPv1 and SNMPv2c traps are refused and no SNMPv1 trap is sent.</p>' +
        '<div class="confirm-buttons"><button type="button" class="button danger">Turn v3-only on</button>' +
        '<button type="button" class="button">Cancel</button></div>';
      ask.querySelector('#orla-v3only-confirm-text').textContent = consequence(state);
      var buttons = ask.querySelectorAll('button');
      var confirmed = false;
      buttons[0].addEventListener('click', function () { confirmed = true; ask.close(); });
      buttons[1].addEventListener('click', function () { ask.close(); });
      ask.addEventListener('close', function () {
        ask.remove();
        if (confirmed) go();
        else if (back) back.focus();
      });
      (document.getElementById('content-block') || document.body).appendChild(ask);
      ask.showModal();
      buttons[1].focus();
    });
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
      var button = document.getElementById('orla-v3only-switch');
      button.addEventListener('click', function () {
        if (section.getAttribute('data-v3-only') === 'on') post('off');
        else confirmOn(function () { post('on'); }, button);
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

  // The same section without the switch and the links to pages of
  // administrators: the mode in words.
  function showModeOnly(state) {
    var section = document.getElementById('orla-snmpv3');
    if (!section) {
      section = document.createElement('section');
      section.id = 'orla-snmpv3';
      section.className = 'orla-snmpv3';
      section.setAttribute('aria-labelledby', 'orla-snmpv3-title');
      section.innerHTML = '<h2 class="section-title" id="orla-snmpv3-title">SNMPv3</h2>' +
        '<p><span id="orla-v3only-state"></span></p>';
      (document.getElementById('content-block') || document.body).appendChild(section);
    }
    var on = state.v3Only === true;
    section.setAttribute('data-v3-only', on ? 'on' : 'off');
    document.getElementById('orla-v3only-state').textContent =
      'v3-only mode is ' + (on ? 'on: no community is used for polling.' : 'off.');
  }

  function show(state) {
    if (!state || typeof state.v3Only !== 'boolean') return;
    showNotice(state.v3Only);
    if (configForm()) showSection(state);
    else if (configView()) showModeOnly(state);
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

  // The SNMPv3 profiles page's own switch (a form of that page): turning
  // on asks first, then sends the form as it is.
  function guardProfilesSwitch(form) {
    form.addEventListener('submit', function (ev) {
      var mode = form.elements.v3_only;
      if (!mode || mode.value !== 'on' || form.getAttribute('data-confirmed') === 'yes') return;
      ev.preventDefault();
      var submit = form.querySelector('input[type=submit]');
      confirmOn(function () {
        form.setAttribute('data-confirmed', 'yes');
        form.submit();
      }, submit);
    });
  }

  var profilesSwitch = document.getElementById('v3_only_form');
  if (profilesSwitch) guardProfilesSwitch(profilesSwitch);
  if (configForm() || configView() || addForm() || document.getElementById('console-bar')) {
    window.orlaShowJson('snmpv3.json', show);
  }
})();
