/*
 * Dialogs that forgive mistakes. orla_utilities.js loads this file on every
 * page; it works on the dialogs' own markup and changes none of it:
 *
 *   Enter in a text field presses the button in that field's row (the agent
 *   configuration's address field adds the address instead of pressing the
 *   form's first button, "Remove Address").
 *
 *   Remove asks first, naming the controller, in a dialog of the page (a
 *   native confirm() would block the window); so does removing an SNMPv3
 *   profile. Remove or Rename with nothing selected (or no new name) says so
 *   beside the field instead of sending the form.
 *
 *   An address typed into the agent configuration but not added (Change
 *   Interval or Remove Address pressed instead) is put back into its field
 *   once the page is shown again, with a line saying it is not added yet.
 *
 *   What a dialog sends is kept in the tab's session storage (never a
 *   password). When the answer is an error page, the form shown after its OK
 *   gets the values back; when the answer is the form again or the success
 *   page, a short line says what was done.
 *
 *   Help and OK keep working when the window that opened the dialog is gone
 *   (the markup calls opener.launchHelp and opener.refresh).
 */
(function () {
  'use strict';

  var SENT_KEY = 'orla.dialog.sent';
  var SENT_MAX_AGE_MS = 10 * 60 * 1000;
  var ERROR_TITLE = 'Quillane Command Console';
  var SUCCESS_TITLE = 'Success!';

  // What a change looks like once it is done: where it lands (the page
  // whose form posts to `landsOn`, or the success page) and the line that
  // says so, by the page it was sent to and the button that sent it.
  var DONE = {
    'add_element.html': {
      '': { landsOn: 'add_element.html', say: function (v) {
        return v.element_name + ' (' + v.element_address + ') added.';
      } }
    },
    'set_trap_target.html': {
      yes: { landsOn: 'add_element.html', say: function (v) {
        return v.element_name + ' added; it now sends its traps to this agent.';
      } },
      no: { landsOn: 'add_element.html', say: function (v) {
        return v.element_name + ' added; its traps are not sent to this agent.';
      } }
    },
    'rename_element.html': {
      '': { landsOn: SUCCESS_TITLE, say: function (v) {
        return v.element_name + ' is now named ' + v.new_name + '.';
      } }
    },
    'delete_element.html': {
      ok: { landsOn: SUCCESS_TITLE, say: function (v) {
        return v.element_name + ' is no longer monitored.';
      } }
    },
    'agent_config.html': {
      add: { landsOn: 'agent_config.html', say: function (v) {
        return v.new_address + ' now receives the traps of this agent.';
      } },
      remove: { landsOn: 'agent_config.html', say: function (v) {
        return v.client_address + ' no longer receives the traps of this agent.';
      } },
      change: { landsOn: 'agent_config.html', say: function (v) {
        return 'The agent now polls every ' + v.polling_interval +
               (v.polling_interval === '1' ? ' minute.' : ' minutes.');
      } }
    }
  };

  function pageName(url) {
    var path = String(url || '').split(/[?#]/)[0];
    return path.substring(path.lastIndexOf('/') + 1).toLowerCase();
  }

  function dialogForm() {
    return document.forms.input_form || null;
  }

  function formAction(form) {
    return pageName(form.getAttribute('action') ? form.action : window.location.href);
  }

  // ---- session storage of what was sent -------------------------------

  function readSent() {
    try {
      var sent = JSON.parse(window.sessionStorage.getItem(SENT_KEY) || 'null');
      if (sent && Date.now() - sent.at < SENT_MAX_AGE_MS) return sent;
    } catch (e) { /* no storage, or not ours: nothing was kept */ }
    return null;
  }

  function writeSent(sent) {
    try {
      if (sent) window.sessionStorage.setItem(SENT_KEY, JSON.stringify(sent));
      else window.sessionStorage.removeItem(SENT_KEY);
    } catch (e) { /* the dialog works without it */ }
  }

  function keepSent(form, submitter) {
    var values = {};
    Array.prototype.forEach.call(form.elements, function (field) {
      if (!field.name || field.disabled) return;
      var type = (field.type || '').toLowerCase();
      if (type === 'password' || type === 'submit' || type === 'button' || type === 'file') return;
      values[field.name] = field.value;
    });
    writeSent({
      action: formAction(form),
      button: submitter && submitter.name ? submitter.name : '',
      values: values,
      at: Date.now()
    });
  }

  // Puts typed values back into the form they came from (text fields and
  // lists; hidden fields stay as the server wrote them).
  function restore(form, values) {
    Array.prototype.forEach.call(form.elements, function (field) {
      if (!field.name || !Object.prototype.hasOwnProperty.call(values, field.name)) return;
      var value = values[field.name];
      if (field.tagName === 'SELECT') {
        for (var i = 0; i < field.options.length; i++) {
          if (field.options[i].value === value) { field.selectedIndex = i; break; }
        }
      } else if ((field.type || '').toLowerCase() === 'text') {
        field.value = value;
      }
    });
  }

  // ---- what the page says ---------------------------------------------

  function notice(text, kind) {
    var box = document.createElement('p');
    box.className = 'dialog-notice ' + kind;
    box.setAttribute('role', kind === 'problem' ? 'alert' : 'status');
    box.textContent = text;
    return box;
  }

  function showDone(text) {
    var block = document.getElementById('content-block');
    var heading = block && block.querySelector('.dialog-title');
    var box = notice(text, 'done');
    if (heading) {
      heading.parentNode.insertBefore(box, heading.nextSibling);
    } else {
      // The success page: under its message, above the OK button.
      var form = dialogForm();
      if (form && form.parentNode) form.parentNode.insertBefore(box, form);
      else document.body.appendChild(box);
    }
  }

  // After a page loads: an error page marks what was sent as failed; the
  // form after its OK gets the values back; a change that landed says so.
  function settleSent() {
    var sent = readSent();
    if (!sent) return;
    if (document.title === ERROR_TITLE) {
      sent.failed = true;
      writeSent(sent);
      return;
    }
    writeSent(null);
    var form = dialogForm();
    if (sent.failed) {
      if (form && formAction(form) === sent.action) restore(form, sent.values);
      return;
    }
    var done = (DONE[sent.action] || {})[sent.button];
    if (!done) return;
    var landed = done.landsOn === SUCCESS_TITLE ? document.title === SUCCESS_TITLE
                                                : !!form && formAction(form) === done.landsOn;
    if (landed) {
      showDone(done.say(sent.values));
      tellConsole();
      keepTypedAddress(form, sent);
    }
  }

  // The agent configuration sends its whole form with every button: an
  // address typed but not added would be gone when the page comes back.
  function keepTypedAddress(form, sent) {
    var typed = String(sent.values.new_address || '').trim();
    var field = form && form.elements.new_address;
    if (sent.action !== 'agent_config.html' || sent.button === 'add' || !typed || !field) return;
    field.value = typed;
    var box = notice(typed + ' is not added yet: press Add Address to send the traps of this agent to it.', 'hint');
    box.id = 'typed-address-note';
    var row = field.closest('tr');
    var cell = row ? row.cells[0] : field.parentNode;
    cell.appendChild(box);
    field.setAttribute('aria-describedby', box.id);
  }

  // The console behind the dialog shows a change as soon as it landed (the
  // list the dialog came from may since have been swapped for a newer one).
  function tellConsole() {
    try {
      var list = window.opener && !window.opener.closed && window.opener.top.KorConsole;
      if (list) list.refresh();
    } catch (e) { /* another origin, or going away: the console's own poll sees it */ }
  }

  // ---- Enter in a text field ------------------------------------------

  function onFieldKey(ev) {
    var field = ev.target;
    if (ev.key !== 'Enter' || ev.isComposing || ev.altKey || ev.ctrlKey || ev.metaKey || ev.shiftKey) return;
    if (!field || field.tagName !== 'INPUT' || (field.type || '').toLowerCase() !== 'text' || !field.form) return;
    var row = field.closest('tr');
    if (!row) return;
    var buttons = row.querySelectorAll('input[type=submit]');
    for (var i = 0; i < buttons.length; i++) {
      // The first submit button after the field in its row.
      if (field.compareDocumentPosition(buttons[i]) & Node.DOCUMENT_POSITION_FOLLOWING) {
        ev.preventDefault();
        field.form.requestSubmit(buttons[i]);
        return;
      }
    }
  }

  // ---- Remove asks first ----------------------------------------------

  var confirmed = false;

  function problemBeside(field, text) {
    var old = field.form.querySelector('.dialog-notice.problem');
    if (old) old.remove();
    var box = notice(text, 'problem');
    box.id = 'dialog-problem';
    field.parentNode.insertBefore(box, field.nextSibling);
    field.setAttribute('aria-describedby', box.id);
    field.focus();
  }

  // what: { title, text, yes, back } - the question, its button, and the
  // field the focus returns to when the answer is Cancel.
  function askFirst(form, submitter, what) {
    var ask = document.createElement('dialog');
    ask.className = 'confirm-dialog';
    ask.setAttribute('aria-labelledby', 'confirm-title');
    ask.setAttribute('aria-describedby', 'confirm-text');
    var title = document.createElement('h2');
    title.id = 'confirm-title';
    title.textContent = what.title;
    var text = document.createElement('p');
    text.id = 'confirm-text';
    text.textContent = what.text;
    var yes = document.createElement('button');
    yes.type = 'button';
    yes.className = 'button danger';
    yes.textContent = what.yes;
    var no = document.createElement('button');
    no.type = 'button';
    no.className = 'button';
    no.textContent = 'Cancel';
    var buttons = document.createElement('div');
    buttons.className = 'confirm-buttons';
    buttons.appendChild(yes);
    buttons.appendChild(no);
    ask.appendChild(title);
    ask.appendChild(text);
    ask.appendChild(buttons);
    (document.querySelector('main, [role=main]') || document.body).appendChild(ask);
    yes.addEventListener('click', function () {
      confirmed = true;
      ask.close();
      form.requestSubmit(submitter || undefined);
    });
    no.addEventListener('click', function () { ask.close(); });
    ask.addEventListener('close', function () {
      ask.remove();
      if (!confirmed && what.back) what.back.focus();
    });
    ask.showModal();
    yes.focus();
  }

  // Rename needs a controller picked and a new name typed.
  function checkRename(form) {
    var list = form.elements.element_name;
    var name = form.elements.new_name;
    if (list && list.tagName === 'SELECT' && list.selectedIndex < 0) {
      problemBeside(list, 'Select the tape controller to rename.');
      return false;
    }
    if (name && !name.value.trim()) {
      problemBeside(name, 'Type the new name.');
      return false;
    }
    return true;
  }

  // The SNMPv3 profiles page: a profile's Remove button asks first, like
  // removing a controller.
  function onProfileRemove(ev, form) {
    var profile = form.elements.remove;
    if (!profile || profile.type !== 'hidden' || confirmed) return;
    ev.preventDefault();
    var button = ev.submitter || form.querySelector('input[type=submit]');
    askFirst(form, ev.submitter || null, {
      title: 'Remove the profile ' + profile.value + '?',
      text: 'The profile ' + profile.value + ' and its pass phrases are deleted from this agent. ' +
            'To use it again, add it anew.',
      yes: 'Remove ' + profile.value,
      back: button
    });
  }

  function onSubmit(ev) {
    var form = ev.target;
    if (formAction(form) === 'snmpv3_profiles.html' && form !== dialogForm()) {
      onProfileRemove(ev, form);
      return;
    }
    if (form !== dialogForm()) return;
    var submitter = ev.submitter || null;
    var action = formAction(form);
    if (action === 'delete_element.html' && !confirmed) {
      var list = form.elements.element_name;
      if (list && list.tagName === 'SELECT') {
        ev.preventDefault();
        if (list.selectedIndex < 0) {
          problemBeside(list, 'Select the tape controller to remove.');
        } else {
          var name = list.options[list.selectedIndex].text;
          askFirst(form, submitter, {
            title: 'Remove ' + name + '?',
            text: 'The agent stops monitoring the tape controller ' + name + '. You can add it again at any time.',
            yes: 'Remove ' + name,
            back: list
          });
        }
        return;
      }
    }
    if (action === 'rename_element.html' && !checkRename(form)) {
      ev.preventDefault();
      return;
    }
    if (ev.defaultPrevented) return;
    keepSent(form, submitter);
  }

  // ---- when the opener is gone ----------------------------------------

  function openerWorks(name) {
    try {
      return !!window.opener && !window.opener.closed && typeof window.opener[name] === 'function';
    } catch (e) {
      return false;  // another origin, or going away
    }
  }

  // A Help button of a dialog asks the opener to show the help page; without
  // one this window opens it itself.
  function onClickHelp(ev) {
    var button = ev.target;
    if (!button || button.tagName !== 'INPUT' || openerWorks('launchHelp')) return;
    var handler = button.getAttribute('onclick') || '';
    var url = /launchHelp\('([^']*)'\)/.exec(handler);
    if (!url) return;
    ev.preventDefault();
    ev.stopImmediatePropagation();
    window.launchHelp(url[1]);
  }

  // The pages' ResetParent reloads the opener's list; without an opener the
  // rest of the button's handler (closing the window) still runs.
  function guardResetParent() {
    var reset = window.ResetParent;
    if (typeof reset !== 'function' || reset.guarded) return;
    var guarded = function () {
      if (!openerWorks('refresh')) return;
      reset.apply(this, arguments);
    };
    guarded.guarded = true;
    window.ResetParent = guarded;
  }

  function start() {
    guardResetParent();
    settleSent();
  }

  document.addEventListener('keydown', onFieldKey);
  // Capture: before the form's own submit listeners, so a held-back
  // submission (Remove asking first) is never taken as sent.
  document.addEventListener('submit', onSubmit, true);
  window.addEventListener('click', onClickHelp, true);
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();
})();
