// Shared fixtures of the browser tests.
//
//   const { test, expect } = require('../fixtures');
//   test('…', async ({ page, admin, elements, shot }) => { … });
//
//   admin      a page signed in as the first-start administrator, on the root page
//   elements   the element list frame of that root page (a FrameLocator)
//   shot(page, name)   saves a screenshot into the artifacts folder
//                      (KOR_E2E_ARTIFACTS) for people to look at
//   sim        simulated devices: sim.address('tc01'), sim.ctl('status tc02 failed')
//   dialogs    every alert/confirm a page raises, collected (a test that expects
//              none checks that it stays empty)
const base = require('@playwright/test');
const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');

const ROOT = path.resolve(__dirname, '..', '..');
const ARTIFACTS = process.env.KOR_E2E_ARTIFACTS || path.join(__dirname, 'test-results', 'screenshots');

function adminPassword() {
  if (process.env.KOR_ADMIN_PASSWORD) return process.env.KOR_ADMIN_PASSWORD;
  const file = process.env.KOR_ADMIN_PASSWORD_FILE;
  if (file) return fs.readFileSync(file, 'utf8').trim();
  throw new Error('KOR_ADMIN_PASSWORD or KOR_ADMIN_PASSWORD_FILE must name the administrator password');
}

// Signs in through the web server's login form and lands on `returnPath`.
async function login(page, user, password, returnPath = '/KOR/') {
  await page.goto('/zepa/login?return=' + encodeURIComponent(returnPath));
  await page.locator('input[name=user]').fill(user);
  await page.locator('input[name=password]').fill(password);
  await Promise.all([
    page.waitForURL((url) => url.pathname === returnPath),
    page.locator('input[type=submit]').click(),
  ]);
}

const test = base.test.extend({
  dialogs: async ({ page }, use) => {
    const seen = [];
    page.context().on('page', (p) => p.on('dialog', (d) => { seen.push(d.message()); d.dismiss().catch(() => {}); }));
    page.on('dialog', (d) => { seen.push(d.message()); d.dismiss().catch(() => {}); });
    await use(seen);
  },
  admin: async ({ page, dialogs }, use) => {
    void dialogs;
    await login(page, 'administrator', adminPassword());
    await use(page);
  },
  elements: async ({ admin }, use) => {
    await use(admin.frameLocator('iframe#elements'));
  },
  shot: async ({}, use) => {
    fs.mkdirSync(ARTIFACTS, { recursive: true });
    await use(async (page, name, options = {}) => {
      await page.screenshot({ path: path.join(ARTIFACTS, name + '.png'), ...options });
    });
  },
  sim: async ({}, use) => {
    const runDir = process.env.KOR_SIM_RUN_DIR;
    const addresses = {};
    if (runDir && fs.existsSync(path.join(runDir, 'devices.txt'))) {
      for (const line of fs.readFileSync(path.join(runDir, 'devices.txt'), 'utf8').split('\n')) {
        const [name, address] = line.trim().split(/\s+/);
        if (name) addresses[name] = address;
      }
    }
    await use({
      address: (name) => addresses[name],
      ctl: (args) => execFileSync(path.join(ROOT, 'simulator', 'simctl'),
                                  ['--run-dir', runDir, ...args.split(' ')], { encoding: 'utf8' }),
    });
  },
});

// Clicks a button that closes its own window and waits for the close. The
// click may be cut short by the window going away; that is not a failure.
async function closeWith(win, button) {
  await Promise.all([
    win.waitForEvent('close'),
    button.click().catch((e) => { if (!win.isClosed()) throw e; }),
  ]);
}

// Opens a window from the Actions menu of the element list (`elements`, in
// `admin`'s root page); the window, loaded.
async function openFromMenu(admin, elements, item) {
  await elements.locator('a.menu-button').click();
  const [win] = await Promise.all([
    admin.waitForEvent('popup'),
    elements.getByRole('menuitem', { name: item }).click(),
  ]);
  await win.waitForLoadState();
  return win;
}

// The list row of the element named exactly `name`.
function rowOf(elements, name) {
  return elements.locator('tr.element-row').filter({ has: elements.getByRole('link', { name, exact: true }) });
}

// Has the agent manage the simulated device `name` (added through the Add
// dialog unless it is listed already); answers the function that puts the
// list back as it was (removes it again only when this call added it).
async function manage(admin, elements, sim, name) {
  if ((await rowOf(elements, name).count()) > 0) return async () => {};
  const add = await openFromMenu(admin, elements, 'Add…');
  await add.locator('input[name=element_address]').fill(sim.address(name));
  await add.locator('input[name=element_name]').fill(name);
  await add.getByRole('button', { name: 'Add' }).click();
  await base.expect(rowOf(elements, name)).toHaveCount(1, { timeout: 30_000 });
  await add.close();
  return async () => {
    const remove = await openFromMenu(admin, elements, 'Remove…');
    await remove.locator('select[name=element_name]').selectOption(name);
    await remove.getByRole('button', { name: 'Remove' }).click();
    await remove.getByRole('dialog').getByRole('button', { name: `Remove ${name}` }).click();
    await base.expect(remove.locator('body')).toContainText('The tape controller has been removed.');
    await remove.close();
  };
}

// Starts `devices` simulated devices spread over the loopback network
// `range` (simulator/start.sh --range), on the port of the tests' own
// simulator, the rest of the range silent; answers the function that stops
// them.
function startRangeSimulator(range, devices) {
  const runDir = process.env.KOR_SIM_RUN_DIR;
  const port = fs.readFileSync(path.join(runDir, 'devices.txt'), 'utf8').trim().split('\n')[0].split(/\s+/)[2];
  const rangeDir = runDir + '-range-' + range.replace(/[./]/g, '-');
  execFileSync(path.join(ROOT, 'simulator', 'start.sh'),
               ['--run-dir', rangeDir, '--port', port, '--range', range, '--devices', String(devices)],
               { encoding: 'utf8' });
  return () => execFileSync(path.join(ROOT, 'simulator', 'stop.sh'), ['--run-dir', rangeDir], { encoding: 'utf8' });
}

module.exports = { test, expect: base.expect, login, adminPassword, closeWith, openFromMenu, rowOf, manage,
                   startRangeSimulator, ARTIFACTS };
