// The element list as people use it: signing in, the list of simulated tape
// controllers with their status, the Actions menu, the About window, an
// anonymous visitor signing in and out, and a device text that holds markup.
const { test, expect, adminPassword, closeWith, openFromMenu, rowOf } = require('../fixtures');

// The list shows each simulated controller's status once the agent has read it.
const EXPECTED = [
  { name: 'tc01', image: 'ok.gif', text: 'OK' },
  { name: 'tc02', image: 'degraded.gif', text: 'Degraded' },
  { name: 'tc03', image: 'failed.gif', text: 'Failed' },
];
const MARKUP = '<img src=x onerror=alert(1)>';

// Reloads the root page until the list shows what `read` expects: the agent
// reads the devices' statuses and texts at its own pace after it starts.
async function reloadUntil(admin, read, expected) {
  await expect.poll(async () => {
    const value = await read().catch((e) => 'not yet: ' + e.message.split('\n')[0]);
    if (value !== expected) await admin.reload();
    return value;
  }, { timeout: 45_000, intervals: [500, 1000, 2000] }).toBe(expected);
}

async function statusImages(elements) {
  const seen = [];
  for (const e of EXPECTED) {
    seen.push(e.name + '=' + await rowOf(elements, e.name).locator('img.status-icon').getAttribute('src', { timeout: 2000 }));
  }
  return seen.join(' ');
}

test('an administrator signs in with the first-start password and sees the controllers with their status',
  async ({ admin, elements, sim, shot }) => {
    await expect(admin).toHaveTitle('Tape Controller Management');
    await expect(admin.locator('#signed-in-user')).toHaveText('administrator');
    // Logging out is a POST from a small form.
    await expect(admin.locator('form.log-out')).toHaveAttribute('method', 'post');
    await expect(admin.locator('form.log-out')).toHaveAttribute('action', '/zepa/logout');

    await reloadUntil(admin, () => statusImages(elements), EXPECTED.map((e) => `${e.name}=${e.image}`).join(' '));
    for (const e of EXPECTED) {
      const row = rowOf(elements, e.name);
      await expect(row.locator('img.status-icon')).toHaveAttribute('alt', e.text);
      await expect(row.locator('img.status-icon')).toHaveAttribute('title', e.text);
      await expect(row).toContainText(sim.address(e.name));
    }
    await expect(elements.locator('tr.column-header')).toContainText('TCP/IP Address');
    await expect(elements.locator('tr.element-row')).toHaveCount(4);

    await shot(admin, 'root-1280x800');
    await admin.setViewportSize({ width: 390, height: 800 });
    await shot(admin, 'root-390x800');
    await admin.setViewportSize({ width: 1280, height: 800 });
    await shot(admin, 'element-list', { clip: { x: 0, y: 0, width: 1280, height: 460 } });
  });

test('the Actions menu opens under its button, shows its items and works with the keyboard',
  async ({ admin, elements, shot }) => {
    const button = elements.locator('a.menu-button');
    const menu = elements.locator('[role=menu]');
    await expect(button).toBeVisible();
    await expect(menu).toHaveCount(0);

    // One click shows the menu (the markup asks twice); it stays open.
    await button.click();
    await expect(menu).toBeVisible();
    await expect(menu.getByRole('menuitem')).toHaveText(
      ['Add…', 'Remove…', 'Rename…', 'Agent configuration…', 'Users…', 'About', 'Help']);
    await expect(menu.getByRole('menuitem', { name: 'Remove…' })).not.toHaveAttribute('aria-disabled', 'true');
    const b = await button.boundingBox();
    const m = await menu.boundingBox();
    expect(m.y).toBeGreaterThanOrEqual(b.y + b.height - 1);
    expect(Math.abs(m.x - b.x)).toBeLessThan(8);
    await expect(button).toHaveAttribute('aria-expanded', 'true');
    await shot(admin, 'menu-open');

    // Escape closes it and gives the focus back to the button; a click
    // elsewhere closes it too; a second click on the button closes it.
    await admin.keyboard.press('Escape');
    await expect(menu).toBeHidden();
    await expect(button).toBeFocused();
    await button.click();
    await expect(menu).toBeVisible();
    await elements.locator('td.header').click();
    await expect(menu).toBeHidden();
    await button.click();
    await expect(menu).toBeVisible();
    await button.click();
    await expect(menu).toBeHidden();

    // The keyboard alone: Enter opens it on the first item, Down moves on.
    await button.focus();
    await admin.keyboard.press('Enter');
    await expect(menu.getByRole('menuitem', { name: 'Add…' })).toBeFocused();
    await admin.keyboard.press('ArrowDown');
    await expect(menu.getByRole('menuitem', { name: 'Remove…' })).toBeFocused();
    await admin.keyboard.press('End');
    await expect(menu.getByRole('menuitem', { name: 'Help' })).toBeFocused();
    await admin.keyboard.press('Escape');
    await expect(menu).toBeHidden();

    // Showing twice (as the markup's onClick and link both do) leaves it
    // open; with no elements Remove and Rename are there but disabled and
    // the keyboard skips them.
    const list = admin.frame({ name: 'elements' });
    await list.evaluate(() => { showMenu(TCMAction, 17, 21); showMenu(TCMAction, 17, 21); });
    await expect(menu).toBeVisible();
    await list.evaluate(() => { hideMenu(); loadMenus(0); });
    await button.click();
    for (const name of ['Remove…', 'Rename…']) {
      await expect(menu.getByRole('menuitem', { name })).toHaveAttribute('aria-disabled', 'true');
    }
    await admin.keyboard.press('ArrowDown');
    await expect(menu.getByRole('menuitem', { name: 'Agent configuration…' })).toBeFocused();
    await shot(admin, 'menu-no-elements');
  });

test('About opens in a window of its own and its Ok closes it', async ({ admin, elements, shot }) => {
  const about = await openFromMenu(admin, elements, 'About');
  await expect(about).toHaveTitle('About Tarvik Marrowline Tape Controller Management');
  await expect(about.locator('h2.header')).toContainText('Version V2.7.2.13');
  await shot(about, 'about');
  await closeWith(about, about.locator('input[name=Ok]'));
  expect(about.isClosed()).toBe(true);
});

test('an anonymous visitor signs in for the list and comes back to it, then logs out with the form',
  async ({ page, dialogs, shot }) => {
    const blocked = [];
    page.on('console', (m) => { if (/Content Security Policy/i.test(m.text())) blocked.push(m.text()); });
    // About is open to anyone; the list is not.
    await page.goto('/KOR/about.htm');
    await expect(page.locator('h2.header')).toContainText('Version V2.7.2.13');
    await page.goto('/KOR/elements.html');
    await expect(page).toHaveURL(/\/zepa\/login\?return=%2FKOR%2Felements\.html$/);
    await expect(page.locator('tr.element-row')).toHaveCount(0);
    await shot(page, 'login-for-elements');
    await page.locator('input[name=user]').fill('administrator');
    await page.locator('input[name=password]').fill(adminPassword());
    await Promise.all([
      page.waitForURL((url) => url.pathname === '/KOR/elements.html'),
      page.locator('input[type=submit]').click(),
    ]);
    await expect(page.locator('tr.element-row').first()).toBeVisible();
    await expect(page.locator('a.menu-button')).toBeVisible();

    // The root page's log-out button posts; the session ends.
    await page.goto('/KOR/');
    await Promise.all([page.waitForURL(/\/zepa\/logout$/), page.locator('#log-out').click()]);
    await expect(page.locator('h1')).toHaveText('You are logged out');
    await page.goto('/KOR/');
    await expect(page).toHaveURL(/\/zepa\/login/);
    expect(dialogs).toEqual([]);
    expect(blocked).toEqual([]);
  });

test('a device text that holds markup is shown as text and runs no script',
  async ({ admin, elements, dialogs }) => {
    const row = rowOf(elements, 'mk01');
    await reloadUntil(admin, () => row.locator('td').last().innerText({ timeout: 2000 }), MARKUP);
    await expect(elements.locator('img[src="x"]')).toHaveCount(0);
    // Every load, and every handler the markup could have injected, has had
    // its turn once the page is idle and a frame has been drawn.
    await admin.waitForLoadState('networkidle');
    await admin.evaluate(() => new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0))));
    expect(dialogs).toEqual([]);
  });
