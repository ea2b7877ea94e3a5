/*
 * Feedback while a dialog's change runs. Adding a device (and removing,
 * renaming or configuring, which may also wait for a device) can take up to
 * about 30 seconds when a device is slow or silent. When such a form is
 * sent, its buttons are disabled, so it cannot be sent twice, and a notice
 * under the form says what is happening (for an add: the address tried) and
 * counts the seconds it has waited. The dialogs' markup stays as the
 * agent writes it: orla_utilities.js loads this file into every dialog.
 */
(function () {
  'use strict';

  // A field's value as typed or picked ('' when the form has none).
  function value(form, name) {
    var field = form.elements[name];
    return field && typeof field.value === 'string' ? field.value.trim() : '';
  }

  // The notices name the device by the name given in the form (the same
  // dialogs add, remove and rename tape libraries as well as controllers).
  var MESSAGES = {
    'add_element.html': function (form) {
      return 'Adding ' + (value(form, 'element_name') || 'the device') + ': the agent is trying ' +
             (value(form, 'element_address') || 'the address') +
             '. An address that does not answer takes up to about 30 seconds.';
    },
    'delete_element.html': function (form) {
      return 'Removing ' + (value(form, 'element_name') || 'the device') + '. This can take up to about 30 seconds.';
    },
    'rename_element.html': function (form) {
      return 'Renaming ' + (value(form, 'element_name') || 'the device') + '. This can take up to about 30 seconds.';
    }
  };
  var GENERIC = 'Saving the change: the agent may be waiting for a device. This can take up to about 30 seconds.';

  function pageName(action) {
    var path = (action || window.location.pathname).split(/[?#]/)[0];
    return path.substring(path.lastIndexOf('/') + 1).toLowerCase();
  }

  function showBusy(form) {
    // form.elements, not the form's descendants: the dialogs open their
    // forms inside tables, where the fields end up outside the form element.
    Array.prototype.forEach.call(form.elements, function (field) {
      if (/^(submit|button|reset)$/.test(field.type)) field.disabled = true;
    });
    form.setAttribute('aria-busy', 'true');
    var notice = document.getElementById('busy-notice');
    if (!notice) {
      notice = document.createElement('div');
      notice.id = 'busy-notice';
      notice.className = 'busy-notice';
      notice.setAttribute('role', 'status');
      notice.setAttribute('aria-live', 'polite');
      var block = document.getElementById('content-block') || document.body;
      block.appendChild(notice);
    }
    var message = MESSAGES[pageName(form.getAttribute('action'))] || GENERIC;
    notice.textContent = typeof message === 'function' ? message(form) : message;
    // How long it has been trying, counted in seconds (not read out by
    // screen readers every second: the notice above says it all).
    var elapsed = document.createElement('span');
    elapsed.className = 'busy-elapsed';
    elapsed.setAttribute('aria-hidden', 'true');
    notice.appendChild(elapsed);
    var began = Date.now();
    var tick = function () {
      var s = Math.floor((Date.now() - began) / 1000);
      elapsed.textContent = s > 0 ? ' Waiting ' + s + ' s\u2026' : '';
    };
    tick();
    setInterval(tick, 1000);
    if (typeof window.SizeToFit === 'function') window.SizeToFit();
    // A window the browser would not make taller still shows the notice.
    if (notice.scrollIntoView) notice.scrollIntoView({ block: 'nearest' });
  }

  function watch() {
    if (!document.body || !document.body.classList.contains('dialog')) return;
    Array.prototype.forEach.call(document.forms, function (form) {
      if ((form.getAttribute('method') || '').toUpperCase() !== 'POST') return;
      var sent = false;
      form.addEventListener('submit', function (ev) {
        if (ev.defaultPrevented) return;
        if (sent) {
          ev.preventDefault();
          return;
        }
        sent = true;
        // After the browser has taken the form's values: disabled fields are not sent.
        setTimeout(function () { showBusy(form); }, 0);
      });
    });
  }

  // A page shown again from the back/forward cache starts afresh.
  window.addEventListener('pageshow', function (ev) {
    if (!ev.persisted) return;
    var notice = document.getElementById('busy-notice');
    if (notice) notice.remove();
    Array.prototype.forEach.call(document.querySelectorAll('[disabled]'), function (b) { b.disabled = false; });
  });

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', watch);
  } else {
    watch();
  }
})();
