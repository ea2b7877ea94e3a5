// Accessibility: axe-core over every page state people meet (one table of
// states, each a test of its own) fails on any critical or serious
// violation; moderate and minor ones are listed on the test. Each state is
// also saved as a screenshot, as it opened and in a narrow window. Then an
// administrator adds, renames and removes with the keyboard alone.
const { test, expect, openFromMenu } = require('../fixtures');
const { AxeBuilder } = require('@axe-core/playwright');
const { execFileSync } = require('child_process');
const path = require('path');

const ROOT = path.resolve(__dirname, '..', '..', '..');
const SNMP_PORT = process.env.KORAGENT_SNMP_PORT;
// A simulator of this file's own: one controller no other test manages.
const SIM_RUN = process.env.KOR_SIM_RUN_DIR ? path.join(path.dirname(process.env.KOR_SIM_RUN_DIR), 'sim-a11y') : '';
const WALK_ADDRESS = '127.0.1.241';
const HELP = ['index.htm', 'add_tape_controller.htm', 'Remove_Tape_Controller.htm', 'Rename_Tape_Controller.htm',
              'agent_configuration_to.htm', 'snmp_notification.htm'];

// Lists the violations of `page` (every frame in it) of at least moderate
// impact; fails on critical and serious ones.
async function expectAccessible(page, state) {
  const { violations } = await new AxeBuilder({ page }).analyze();
  const line = (v) => `${v.impact} ${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`;
  for (const v of violations) test.info().annotations.push({ type: 'axe', description: line(v) });
  expect(violations.filter((v) => v.impact === 'critical' || v.impact === 'serious').map(line), state).toEqual([]);
}

// Submits a dialog's form as it stands, past any script of the page: the
// error the server answers is the state looked at.
async function submitAsIs(win, fields) {
  await Promise.all([
    win.waitForNavigation(),
    win.evaluate((values) => {
      const form = document.forms.input_form;
      for (const [name, value] of Object.entries(values)) {
        const field = form.elements[name];
        if (field.tagName === 'SELECT' && value === null) field.selectedIndex = -1;
        else field.value = value;
      }
      HTMLFormElement.prototype.submit.call(form);
    }, fields),
  ]);
}

// Each state: how a person gets there; the page (or window) to look at.
const STATES = [
  ['log-in page', async ({ page }) => { await page.goto('/zepa/login?return=%2FKOR%2F'); return page; }],
  ['web server home page', async ({ admin }) => { await admin.goto('/'); return admin; }],
  ['root page with the list', async ({ admin, elements }) => {
    await expect(elements.locator('tr.element-row').first()).toBeVisible();
    return admin;
  }],
  ['the element list opened on its own', async ({ admin }) => {
    await admin.goto('/KOR/elements.html');
    await expect(admin).toHaveTitle('Tape Controller List');
    return admin;
  }],
  ['root page, list filtered to failed', async ({ admin, elements }) => {
    await expect(elements.locator('tr.element-row').first()).toBeVisible();
    await admin.locator('.chip-failed').click();
    await expect(admin.locator('.chip-failed')).toHaveAttribute('aria-pressed', 'true');
    return admin;
  }],
  ['events page', async ({ admin }) => {
    await admin.getByRole('link', { name: 'Events', exact: true }).click();
    await expect(admin.locator('tr.event-row').first()).toBeVisible();
    return admin;
  }],
  ['alarms', async ({ admin }) => {
    await admin.goto('/KOR/alarms.html');
    await expect(admin.locator('#alarm-table tr.alarm-row').first()).toBeVisible();
    return admin;
  }],
  ['events of one controller', async ({ admin }) => {
    await admin.goto('/KOR/events.html?element=tc01');
    await admin.waitForLoadState('networkidle');
    return admin;
  }],
  ['Actions menu open', async ({ admin, elements }) => {
    await elements.locator('a.menu-button').click();
    await expect(elements.locator('[role=menu]')).toBeVisible();
    return admin;
  }],
  ['About', async ({ admin, elements }) => openFromMenu(admin, elements, 'About')],
  ['Add dialog', async ({ admin, elements }) => openFromMenu(admin, elements, 'Add…')],
  ['Add: error', async ({ admin, elements }) => {
    const add = await openFromMenu(admin, elements, 'Add…');
    await submitAsIs(add, { element_name: 'nowhere', element_address: '' });
    return add;
  }],
  ['Add: trap question', async ({ admin }) => {
    await admin.goto('/KOR/set_trap_target.html?element_name=tc01');
    return admin;
  }],
  ['Remove dialog', async ({ admin, elements }) => openFromMenu(admin, elements, 'Remove…')],
  ['Remove: error', async ({ admin, elements }) => {
    const remove = await openFromMenu(admin, elements, 'Remove…');
    await submitAsIs(remove, { element_name: null });
    return remove;
  }],
  ['Remove: nothing selected', async ({ admin, elements }) => {
    const remove = await openFromMenu(admin, elements, 'Remove…');
    await remove.getByRole('button', { name: 'Remove' }).click();
    await expect(remove.getByRole('alert')).toHaveText('Select the tape controller to remove.');
    return remove;
  }],
  ['Remove: asks first', async ({ admin, elements }) => {
    const remove = await openFromMenu(admin, elements, 'Remove…');
    await remove.locator('select[name=element_name]').selectOption('tc01');
    await remove.getByRole('button', { name: 'Remove' }).click();
    await expect(remove.getByRole('dialog', { name: 'Remove tc01?' })).toBeVisible();
    return remove;
  }],
  ['Rename dialog', async ({ admin, elements }) => openFromMenu(admin, elements, 'Rename…')],
  ['Rename: error', async ({ admin, elements }) => {
    const rename = await openFromMenu(admin, elements, 'Rename…');
    await submitAsIs(rename, { element_name: 'tc01', new_name: 'tc01' });
    return rename;
  }],
  ['Agent configuration', async ({ admin, elements }) => openFromMenu(admin, elements, 'Agent configuration…')],
  ['Agent configuration: error', async ({ admin, elements }) => {
    const config = await openFromMenu(admin, elements, 'Agent configuration…');
    await config.locator('input[name=new_address]').fill('no such host');
    await config.getByRole('button', { name: 'Add Address' }).click();
    await expect(config).toHaveTitle('Quillane Command Console');
    return config;
  }],
  ['Notification targets', async ({ admin }) => {
    await admin.goto('/KOR/notification_targets.html');
    await expect(admin.locator('#engine_id')).toBeVisible();
    return admin;
  }],
  ['SNMPv3 profiles', async ({ admin }) => {
    await admin.goto('/KOR/snmpv3_profiles.html');
    await expect(admin.locator('#profile_form')).toBeVisible();
    return admin;
  }],
  ['logged out', async ({ admin }) => {
    await admin.getByRole('link', { name: 'Log out' }).or(admin.getByRole('button', { name: 'Log out' })).click();
    await expect(admin.locator('h1')).toHaveText('You are logged out');
    return admin;
  }],
  ...HELP.map((file) => [`help ${file}`, async ({ admin }) => { await admin.goto('/KOR/help/' + file); return admin; }]),
  ['device page', async ({ admin, sim }) => {
    await admin.goto(`/KOR/WebAgent/index.html?addr=${sim.address('tc01')}&device=tc01`);
    await expect(admin.locator('td.header')).toBeVisible({ timeout: 30_000 });
    return admin;
  }],
  ['device events', async ({ admin, sim }) => {
    await admin.goto(`/KOR/WebAgent/events.html?addr=${sim.address('tc01')}&device=tc01`);
    await expect(admin.locator('td.header')).toBeVisible({ timeout: 30_000 });
    return admin;
  }],
];

test.describe('axe finds no critical or serious violation', () => {
  test.describe.configure({ timeout: 90_000 });
  for (const [state, reach] of STATES) {
    test(state, async ({ page, admin, elements, sim, shot }) => {
      const win = await reach({ page, admin, elements, sim });
      await win.waitForLoadState();
      const name = 'a11y-' + state.replace(/[^A-Za-z0-9.]+/g, '-');
      await shot(win, name);
      await expectAccessible(win, state);
      await win.setViewportSize({ width: 390, height: 800 });
      await shot(win, name + '-narrow');
    });
  }
});

// Presses Tab until `target` has the focus (at most 30 times).
async function tabTo(page, target) {
  for (let i = 0; i < 30; i++) {
    if (await target.evaluate((el) => el === el.ownerDocument.activeElement)) return;
    await page.keyboard.press('Tab');
  }
  await expect(target).toBeFocused();
}

// Presses `key` in `page` and returns the window it opens, loaded.
async function popupBy(page, key) {
  const [win] = await Promise.all([page.waitForEvent('popup'), page.keyboard.press(key)]);
  await win.waitForLoadState();
  return win;
}

// Presses Enter in `win` and waits for the window to close.
async function closeBy(win, key = 'Enter') {
  await Promise.all([win.waitForEvent('close'), win.keyboard.press(key).catch(() => {})]);
}

test.describe('the keyboard alone', () => {
  test.beforeAll(() => {
    execFileSync(path.join(ROOT, 'simulator', 'start.sh'),
                 ['--run-dir', SIM_RUN, '--port', SNMP_PORT, '--only', 'tc01', '--base', WALK_ADDRESS],
                 { stdio: 'ignore' });
  });
  test.afterAll(() => {
    execFileSync(path.join(ROOT, 'simulator', 'stop.sh'), ['--run-dir', SIM_RUN], { stdio: 'ignore' });
  });

  test('adds a tape controller, answers the trap question, renames and removes it', async ({ admin, elements, shot }) => {
    test.setTimeout(120_000);
    const menuButton = elements.locator('a.menu-button');
    await tabTo(admin, menuButton);

    // Add: Enter opens the menu on "Add…", Enter opens the dialog with the
    // address field focused; Enter in the name field adds.
    await admin.keyboard.press('Enter');
    const add = await popupBy(admin, 'Enter');
    await expect(add.locator('input[name=element_address]')).toBeFocused();
    await add.keyboard.type(WALK_ADDRESS);
    await add.keyboard.press('Tab');
    await add.keyboard.type('kbd1');
    await add.keyboard.press('Enter');
    await expect(add).toHaveTitle('Reconfigure Tape Controller?');
    await expect(add.getByRole('button', { name: 'Yes' })).toBeFocused();
    await add.keyboard.press('Enter');
    await expect(add.getByRole('status')).toHaveText('kbd1 added; it now sends its traps to this agent.');
    await shot(add, 'a11y-walk-added');
    await expectAccessible(add, 'added');
    await tabTo(add, add.getByRole('button', { name: 'Close' }));
    await closeBy(add);
    await tabTo(admin, menuButton);

    // Rename: the third item; the list takes the name typed, Tab goes on to
    // the new name, Enter renames; the success page says which.
    await admin.keyboard.press('Enter');
    await admin.keyboard.press('ArrowDown');
    await admin.keyboard.press('ArrowDown');
    const rename = await popupBy(admin, 'Enter');
    await expect(rename.locator('input[name=new_name]')).toBeFocused();
    await rename.keyboard.press('Shift+Tab');
    await rename.keyboard.type('kbd1');
    await expect(rename.locator('select[name=element_name]')).toHaveValue('kbd1');
    await rename.keyboard.press('Tab');
    await rename.keyboard.type('kbd2');
    await rename.keyboard.press('Enter');
    await expect(rename.getByRole('status')).toHaveText('kbd1 is now named kbd2.');
    await expect(rename.getByRole('button', { name: 'OK' })).toBeFocused();
    await shot(rename, 'a11y-walk-renamed');
    await expectAccessible(rename, 'renamed');
    await closeBy(rename);

    // Remove: asks first, naming the controller; Enter confirms.
    await tabTo(admin, menuButton);
    await admin.keyboard.press('Enter');
    await admin.keyboard.press('ArrowDown');
    const remove = await popupBy(admin, 'Enter');
    await expect(remove.getByRole('button', { name: 'Remove' })).toBeFocused();
    await remove.keyboard.press('Shift+Tab');
    await remove.keyboard.type('kbd2');
    await remove.keyboard.press('Tab');
    await remove.keyboard.press('Enter');
    const ask = remove.getByRole('dialog', { name: 'Remove kbd2?' });
    await expect(ask.getByRole('button', { name: 'Remove kbd2' })).toBeFocused();
    await shot(remove, 'a11y-walk-remove-asks');
    await remove.keyboard.press('Enter');
    await expect(remove.getByRole('status')).toHaveText('kbd2 is no longer monitored.');
    await shot(remove, 'a11y-walk-removed');
    await closeBy(remove);
    await expect(elements.getByRole('link', { name: 'kbd2', exact: true })).toHaveCount(0);
  });
});
