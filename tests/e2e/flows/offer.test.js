// The pages offer what the signed-in user may do, and nothing more: a reader
// (KORAccess 1) and an operator (KORAccess 4), made with korusers, see no
// Actions menu, no configuration form and no editable device field, but
// read the same settings and values as text; the administrator still gets
// the menu, the form and the fields.
const { test, expect: fastExpect, login, openFromMenu, rowOf } = require('../fixtures');
const { execFileSync } = require('child_process');
const path = require('path');

// A device page costs a few dozen SNMP requests.
const expect = fastExpect.configure({ timeout: 30_000 });
test.describe.configure({ timeout: 180_000 });

const USERS = [['reader', 'KORAccess=1', 'reader'], ['operator', 'KORAccess=4', 'operator']];
const PASSWORD = 'offer-password-e2e';

function makeUser(name, right) {
  const korusers = path.join(process.env.KOR_PROGRAM_DIR, 'korusers');
  const input = `${PASSWORD}\n`;
  try {
    execFileSync(korusers, ['add', name, right], { input, stdio: ['pipe', 'ignore', 'ignore'] });
  } catch (e) {
    execFileSync(korusers, ['password', name], { input, stdio: ['pipe', 'ignore', 'ignore'] });
    execFileSync(korusers, ['rights', name, right], { stdio: 'ignore' });
  }
}

// The overview of tc01's device pages, loaded (its rows shown).
async function deviceOverview(page, sim) {
  await page.goto(`/KOR/WebAgent/index.html?addr=${sim.address('tc01')}&device=tc01`);
  await expect(page.locator('td', { hasText: /^World Wide Name$/ }).first()).toBeVisible();
}

for (const [user, right, level] of USERS) {
  test(`the ${user} is offered no change: console, agent configuration, device page`,
    async ({ browser, sim, shot }) => {
      makeUser(user, right);
      const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
      const page = await context.newPage();
      await login(page, user, PASSWORD);
      const elements = page.frameLocator('iframe#elements');

      // The console: the list without the Actions menu, the configuration to read.
      await expect(rowOf(elements, 'tc01')).toHaveCount(1);
      const status = await (await page.request.get('/KOR/status.json')).json();
      expect(status.level).toBe(level);
      expect(status.administrator).toBe(false);
      await expect(page.locator('body')).toHaveAttribute('data-level', level);
      await expect(elements.locator('a.menu-button')).toHaveCount(0);
      const configLink = page.locator('#config-link');
      await expect(configLink).toBeVisible();
      if (user === 'reader') {
        await shot(page, 'offer-reader-console-wide');
        await page.setViewportSize({ width: 390, height: 844 });
        await expect(configLink).toBeVisible();
        await shot(page, 'offer-reader-console-narrow');
        await page.setViewportSize({ width: 1280, height: 800 });
      }

      // The agent configuration: the settings as text, no form, no switch,
      // no way to the administrators' pages.
      const [config] = await Promise.all([page.waitForEvent('popup'), configLink.click()]);
      await config.waitForLoadState();
      await expect(config.locator('#agent_config_view')).toBeVisible();
      await expect(config.locator('#polling_interval')).toHaveText(/^\d+$/);
      await expect(config.locator('#orla-v3only-state')).toHaveText(/^v3-only mode is (on|off)/);
      for (const offer of ['form', 'input[type=submit]', 'input[type=text]', 'select', '#orla-v3only-switch',
                           'a[href="snmpv3_profiles.html"]', 'a[href="notification_targets.html"]']) {
        await expect(config.locator(offer), offer).toHaveCount(0);
      }
      if (user === 'reader') {
        await shot(config, 'offer-reader-config-wide');
        await config.setViewportSize({ width: 390, height: 844 });
        await shot(config, 'offer-reader-config-narrow');
      }
      await config.close();

      // A device page: contact and location as text, nothing to save, no trap-target action.
      await deviceOverview(page, sim);
      await expect(page.locator('td', { hasText: /^Contact$/ }).first()).toBeVisible();
      for (const offer of ['form', 'input[name=contact]', 'input[type=submit]', '#orla-trap-target-action']) {
        await expect(page.locator(offer), offer).toHaveCount(0);
      }
      if (user === 'reader') await shot(page, 'offer-reader-device-wide');

      // The alarms page: the maintenance windows for everyone, the form to
      // set one for the operator only.
      await page.goto('/KOR/alarms.html');
      await expect(page.locator('#maintenance-table')).toBeVisible();
      await expect(page.locator('#maintenance-form')).toHaveCount(user === 'operator' ? 1 : 0);

      // A change sent to a page of ours all the same (a form kept from
      // before) is refused on the styled error page.
      await page.goto('/KOR/events.html');
      await page.evaluate(() => {
        const form = document.createElement('form');
        form.method = 'post';
        form.action = 'notification_targets.html';
        form.innerHTML = '<input type=hidden name=remove value="127.0.0.1:162">';
        document.body.appendChild(form);
        form.submit();
      });
      await expect(page.locator('body')).toContainText(
        'You must log in (or log in again) as administrator to perform this operation.');
      await expect(page.locator('link#orla-style')).toHaveCount(1);
      await expect(page.locator('body.dialog')).toHaveCSS('background-color', 'rgb(255, 255, 255)');
      if (user === 'reader') await shot(page, 'offer-reader-refused');
      await context.close();
    });
}

test('the administrator is still offered every change', async ({ admin, elements, sim }) => {
  await expect(rowOf(elements, 'tc01')).toHaveCount(1);
  await expect(admin.locator('body')).toHaveAttribute('data-level', 'administrator');
  await expect(admin.locator('#config-link')).toBeHidden();
  const config = await openFromMenu(admin, elements, 'Agent configuration…');
  await expect(config.locator('form[action="agent_config.html"]')).toBeVisible();
  await expect(config.getByRole('button', { name: 'Change Interval' })).toBeVisible();
  await expect(config.locator('#orla-v3only-switch')).toBeVisible();
  await expect(config.locator('#agent_config_view')).toHaveCount(0);
  await config.close();
  await elements.locator('a.menu-button').click();
  for (const item of ['Add…', 'Remove…', 'Rename…', 'Agent configuration…']) {
    await expect(elements.getByRole('menuitem', { name: item })).toBeVisible();
  }
  await admin.keyboard.press('Escape');
  await deviceOverview(admin, sim);
  await expect(admin.locator('input[name=contact]').first()).toBeEditable();
  await expect(admin.getByRole('button', { name: 'Save' }).first()).toBeVisible();
  await expect(admin.locator('#orla-trap-target-action')).toBeVisible();
});
