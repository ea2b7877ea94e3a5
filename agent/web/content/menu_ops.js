/*
 * The element list's "Actions" menu (window.TCMAction) and what its items do.
 *
 *   loadMenus(n)   n is the number of managed tape controllers, or -1 for a
 *                  user who may not change anything:
 *                    n < 0   no menu (the page shows no menu bar either)
 *                    n = 0   Remove and Rename are shown disabled
 *                    n > 0   every item is enabled
 *
 * Every dialog opens in a small window of its own; the dialog size fits
 * itself to its content (SizeToFit) and reloads the list after a change
 * (its ResetParent calls refresh() on this window).
 */
(function () {
  'use strict';

  var DIALOGS = {
    add: { url: 'add_element.html', name: 'KORAddElement', width: 560, height: 440 },
    remove: { url: 'delete_element.html', name: 'KORRemoveElement', width: 560, height: 460 },
    rename: { url: 'rename_element.html', name: 'KORRenameElement', width: 560, height: 520 },
    config: { url: 'agent_config.html', name: 'KORAgentConfig', width: 600, height: 600 },
    users: { url: 'users.html', name: 'KORUsers', width: 720, height: 680 },
    about: { url: 'about.html', name: 'KORAbout', width: 520, height: 560 }
  };

  // Opens (or brings forward) a dialog window, centred on this window.
  function openDialog(which) {
    var d = DIALOGS[which];
    var left = Math.max(0, (window.screenX || 0) + ((window.top.outerWidth || d.width) - d.width) / 2);
    var top = Math.max(0, (window.screenY || 0) + ((window.top.outerHeight || d.height) - d.height) / 3);
    var features = 'width=' + d.width + ',height=' + d.height + ',left=' + Math.round(left) +
                   ',top=' + Math.round(top) + ',resizable=yes,scrollbars=yes';
    var win = window.open(d.url, d.name, features);
    if (win) win.focus();
    return win;
  }

  window.openDialog = openDialog;
  window.TCMAction = null;

  window.loadMenus = function (count) {
    count = Number(count);
    if (window.TCMAction && window.TCMAction.element) window.TCMAction.element.remove();
    if (!(count >= 0)) {
      window.TCMAction = null;
      return;
    }
    var haveElements = count > 0;
    var menu = new window.Menu('TCMAction', 'Actions');
    menu.addItem('Add\u2026', function () { openDialog('add'); });
    menu.addItem('Remove\u2026', function () { openDialog('remove'); }, haveElements);
    menu.addItem('Rename\u2026', function () { openDialog('rename'); }, haveElements);
    menu.addSeparator();
    menu.addItem('Agent configuration\u2026', function () { openDialog('config'); });
    menu.addItem('Users\u2026', function () { openDialog('users'); });
    menu.addSeparator();
    menu.addItem('About', function () { openDialog('about'); });
    menu.addItem('Help', function () { window.launchHelp(window.orlaBase + 'help/index.htm'); });
    window.TCMAction = menu;
  };
})();
