/*
 * Drop-down menus for the tape controller pages.
 *
 *   var menu = new Menu('TCMAction', 'Actions');
 *   menu.addItem('Add…', function () { ... }, enabled);
 *   menu.addSeparator();
 *   showMenu(menu, x, y);     shows it under the page's menu button (at x, y
 *                             when the page has no button); showing an open
 *                             menu again leaves it open
 *   hideMenu();
 *
 * The menu bar's markup calls showMenu twice for one click (its onClick and
 * its "javascript:" link), so showing never toggles. A click on the button
 * of an open menu closes it; so do Escape, a click elsewhere, Tab and
 * choosing an item. With the keyboard: Enter, Space or Down on the button
 * open the menu, Up and Down (Home, End) move between the items, Enter or
 * Space chooses one. Disabled items are shown but skipped.
 */
(function () {
  'use strict';

  var BUTTON_SELECTOR = 'a[href*="showMenu"]';
  var current = null;        // the menu shown, or null
  var suppressShow = false;  // set while the click that closed a menu runs on

  function Menu(id, label) {
    this.id = id;
    this.label = label || id;
    this.items = [];
    this.element = null;
  }

  Menu.prototype.addItem = function (label, action, enabled) {
    this.items.push({ label: label, action: action, enabled: enabled !== false });
    return this;
  };

  Menu.prototype.addSeparator = function () {
    this.items.push({ separator: true });
    return this;
  };

  Menu.prototype.build = function () {
    if (this.element) return this.element;
    var menu = this;
    var el = document.createElement('div');
    el.className = 'orla-menu';
    el.id = 'menu-' + this.id;
    el.setAttribute('role', 'menu');
    el.setAttribute('aria-label', this.label);
    el.hidden = true;
    this.items.forEach(function (item) {
      if (item.separator) {
        var sep = document.createElement('div');
        sep.className = 'menu-separator';
        sep.setAttribute('role', 'separator');
        el.appendChild(sep);
        return;
      }
      var b = document.createElement('button');
      b.type = 'button';
      b.className = 'menu-item';
      b.setAttribute('role', 'menuitem');
      b.tabIndex = -1;
      b.textContent = item.label;
      if (!item.enabled) {
        b.setAttribute('aria-disabled', 'true');
        b.classList.add('disabled');
      }
      b.addEventListener('click', function (ev) {
        ev.preventDefault();
        if (!item.enabled) return;
        hideMenu(true);
        if (typeof item.action === 'function') item.action();
      });
      el.appendChild(b);
    });
    el.addEventListener('keydown', function (ev) { menu.onKey(ev); });
    document.body.appendChild(el);
    this.element = el;
    return el;
  };

  Menu.prototype.enabledItems = function () {
    if (!this.element) return [];
    return Array.prototype.filter.call(this.element.querySelectorAll('.menu-item'), function (b) {
      return b.getAttribute('aria-disabled') !== 'true';
    });
  };

  Menu.prototype.focusItem = function (index) {
    var items = this.enabledItems();
    if (items.length === 0) return;
    index = (index + items.length) % items.length;
    items[index].focus();
  };

  Menu.prototype.onKey = function (ev) {
    var items = this.enabledItems();
    var at = items.indexOf(document.activeElement);
    switch (ev.key) {
      case 'ArrowDown': this.focusItem(at + 1); break;
      case 'ArrowUp': this.focusItem(at < 0 ? -1 : at - 1); break;
      case 'Home': this.focusItem(0); break;
      case 'End': this.focusItem(-1); break;
      case 'Escape': hideMenu(true); break;
      case 'Tab': hideMenu(false); return;  // the focus moves on as usual
      default: return;
    }
    ev.preventDefault();
    ev.stopPropagation();
  };

  function menuButton() {
    return document.querySelector(BUTTON_SELECTOR);
  }

  function buttonImage(on) {
    var img = document.images && document.images.img1;
    if (!img) return;
    img.src = on ? 'tcm_menu_roll.gif' : 'tcm_menu.gif';
  }

  function place(el, x, y) {
    var button = menuButton();
    var left = x, top = y;
    if (button) {
      var r = (button.querySelector('img') || button).getBoundingClientRect();
      left = r.left + window.scrollX;
      top = r.bottom + window.scrollY + 4;
    }
    el.style.left = Math.max(4, left) + 'px';
    el.style.top = Math.max(0, top) + 'px';
    // Keep it inside the window on narrow screens.
    var overflow = el.getBoundingClientRect().right - document.documentElement.clientWidth + 4;
    if (overflow > 0) el.style.left = Math.max(4, left - overflow) + 'px';
  }

  function showMenu(menu, x, y) {
    if (!menu || suppressShow) return false;
    if (current && current !== menu) hideMenu(false);
    var el = menu.build();
    var opening = el.hidden;
    el.hidden = false;
    place(el, x || 0, y || 0);
    current = menu;
    var button = menuButton();
    if (button) button.setAttribute('aria-expanded', 'true');
    buttonImage(true);
    if (opening) menu.focusItem(0);
    return false;
  }

  // Hides the open menu; with restoreFocus the menu button gets the focus back.
  function hideMenu(restoreFocus) {
    if (!current) return;
    var menu = current;
    current = null;
    if (menu.element) menu.element.hidden = true;
    var button = menuButton();
    if (button) {
      button.setAttribute('aria-expanded', 'false');
      if (restoreFocus) button.focus();
    }
    buttonImage(false);
  }

  function setUpButton() {
    var button = menuButton();
    if (!button || button.dataset.menuReady) return;
    button.dataset.menuReady = '1';
    button.setAttribute('role', 'button');
    button.setAttribute('aria-haspopup', 'menu');
    button.setAttribute('aria-expanded', 'false');
    button.classList.add('menu-button');
    var img = button.querySelector('img');
    if (img && !img.getAttribute('alt')) img.setAttribute('alt', 'Actions');
    button.setAttribute('title', 'Actions');
    buttonImage(false);
    button.addEventListener('mouseenter', function () { buttonImage(true); });
    button.addEventListener('mouseleave', function () { if (!current) buttonImage(false); });
    button.addEventListener('focus', function () { buttonImage(true); });
    button.addEventListener('blur', function () { if (!current) buttonImage(false); });
    button.addEventListener('keydown', function (ev) {
      if (ev.key === ' ' || ev.key === 'ArrowDown') {
        ev.preventDefault();
        if (window.TCMAction) showMenu(window.TCMAction, 17, 21);
        else button.click();
      } else if (ev.key === 'Escape') {
        hideMenu(true);
      }
    });
  }

  // Clicks: the button's own link is not followed (its onClick shows the
  // menu), a click on the button of an open menu closes it, and a click
  // anywhere else closes the open menu.
  document.addEventListener('click', function (ev) {
    var target = ev.target;
    var button = target && target.closest ? target.closest(BUTTON_SELECTOR) : null;
    if (button) {
      ev.preventDefault();
      if (current) {
        hideMenu(false);
        suppressShow = true;
        setTimeout(function () { suppressShow = false; }, 0);
      }
      return;
    }
    if (current && current.element && !current.element.contains(target)) hideMenu(false);
  }, true);

  document.addEventListener('keydown', function (ev) {
    if (ev.key === 'Escape' && current) hideMenu(true);
  });
  window.addEventListener('resize', function () { hideMenu(false); });
  window.addEventListener('blur', function () { hideMenu(false); });
  document.addEventListener('DOMContentLoaded', setUpButton);

  window.Menu = Menu;
  window.showMenu = showMenu;
  window.hideMenu = hideMenu;
})();
