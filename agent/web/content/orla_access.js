/*
 * Accessibility repairs. orla_utilities.js loads this file on every page;
 * once the page is read it supplies what the pages' markup lacks and screen
 * readers need (they read the live document):
 *   - the page's language, and a title for a page that has none (the
 *     element list opened on its own: its table's title);
 *   - a text for every image: spacer and rule images are marked decorative,
 *     the web server home page's button names where it leads;
 *   - a label for every field and list of the dialogs, by the field's name;
 *   - one main landmark holding the content, and a first-level heading (the
 *     table's or dialog's title where the page has one, else a heading only
 *     screen readers see).
 * The status and warning images get their texts from orla_utilities.js.
 */
(function () {
  'use strict';

  var LANGUAGE = 'en';

  // Images that only draw rules and spaces, by file name.
  var DECORATIVE = /(^|\/)(pixel_[a-z]+|line1)\.gif$/i;

  // The button of the web server's home page leads to the root page.
  var LINK_IMAGES = { 'button.gif': 'Tape Controller Management' };

  // Field name -> label, per kind of field (a list and a text field share
  // the name element_name in different dialogs).
  var LABELS = {
    'INPUT element_address': 'TCP/IP Address',
    'INPUT element_name': 'Device Name (up to 8 characters)',
    'SELECT element_name': 'Tape controller',
    'INPUT new_name': 'New name (up to 8 characters)',
    'SELECT client_address': 'Hosts that receive SNMP traps from this agent',
    'INPUT new_address': 'Address or host name of a host to add',
    'SELECT polling_interval': 'Agent polling interval, in minutes'
  };

  // The first-level heading a page without one gets, by its title.
  var HEADINGS = {
    'Quillane Command Console': 'Error',
    'Error!': 'Error',
    'Success!': 'Done'
  };

  function fileName(src) {
    var path = (src || '').split(/[?#]/)[0];
    return path.substring(path.lastIndexOf('/') + 1).toLowerCase();
  }

  function setLanguage() {
    if (!document.documentElement.getAttribute('lang')) document.documentElement.setAttribute('lang', LANGUAGE);
  }

  function describeImages() {
    Array.prototype.forEach.call(document.images, function (img) {
      if (img.hasAttribute('alt')) return;
      var src = img.getAttribute('src') || '';
      var named = LINK_IMAGES[fileName(src)];
      if (named && img.closest('a')) img.setAttribute('alt', named);
      else if (DECORATIVE.test(src.split(/[?#]/)[0])) img.setAttribute('alt', '');
    });
  }

  function hasLabel(field) {
    return (field.labels && field.labels.length > 0) || field.hasAttribute('aria-label') ||
           field.hasAttribute('aria-labelledby') || field.hasAttribute('title');
  }

  function labelFields() {
    var fields = document.querySelectorAll('input[name], select[name], textarea[name]');
    Array.prototype.forEach.call(fields, function (field) {
      var type = (field.getAttribute('type') || '').toLowerCase();
      if (type === 'hidden' || type === 'submit' || type === 'button' || hasLabel(field)) return;
      var label = LABELS[field.tagName + ' ' + field.name];
      if (label) field.setAttribute('aria-label', label);
    });
  }

  // The elements that carry the page's content: the body's children other
  // than scripts, line breaks and what our scripts add (menus, dialogs).
  function contentParts() {
    return Array.prototype.filter.call(document.body.children, function (el) {
      return !/^(SCRIPT|STYLE|BR|DIALOG|NOSCRIPT|TEMPLATE)$/.test(el.tagName) &&
             !el.classList.contains('orla-menu');
    });
  }

  // One main landmark: the dialog's content block, the page's only part, or
  // a <main> put around all of its parts.
  function markMain() {
    var main = document.querySelector('main, [role=main]');
    if (main) return main;
    // A page in a frame (the list in the root page) is part of the frame's
    // page, which has the main landmark.
    if (window.self !== window.top) return null;
    main = document.getElementById('content-block');
    var parts = contentParts();
    if (!main && parts.length === 1) main = parts[0];
    if (main) {
      main.setAttribute('role', 'main');
      return main;
    }
    if (parts.length === 0) return null;
    main = document.createElement('main');
    main.className = 'page-main';
    var first = parts[0], last = parts[parts.length - 1];
    document.body.insertBefore(main, first);
    for (var node = first, next; node; node = next) {
      next = node.nextSibling;
      main.appendChild(node);
      if (node === last) break;
    }
    return main;
  }

  function addHeading(main) {
    if (document.querySelector('h1, [role=heading][aria-level="1"]')) return;
    var title = document.querySelector('td.header');
    if (title) {
      // The element list's and the device pages' table title.
      var h = document.createElement('h1');
      h.className = 'table-heading';
      while (title.firstChild) h.appendChild(title.firstChild);
      title.appendChild(h);
      return;
    }
    var text = HEADINGS[document.title] || document.title;
    if (!text || !main) return;
    var hidden = document.createElement('h1');
    hidden.className = 'visually-hidden';
    hidden.textContent = text;
    main.insertBefore(hidden, main.firstChild);
  }

  // A status image's text is read; the same text printed beside it is for
  // the eye only.
  function giveTitle() {
    if ((document.title || '').trim()) return;
    var header = document.querySelector('td.header');
    var text = header ? header.textContent.replace(/\s+/g, ' ').trim() : '';
    document.title = text || 'Tape Controller Management';
  }

  function hideRepeatedStatus() {
    Array.prototype.forEach.call(document.querySelectorAll('img.status-icon + .status-text'), function (text) {
      text.setAttribute('aria-hidden', 'true');
    });
  }

  function repair() {
    setLanguage();
    if (!document.body) return;
    giveTitle();
    describeImages();
    hideRepeatedStatus();
    labelFields();
    addHeading(markMain());
  }

  setLanguage();
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', repair);
  else repair();
})();
