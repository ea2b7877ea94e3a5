// Discovery in the browser: a small simulated network found, one device
// renamed, two adopted, and the root page's list showing them; shot at a
// desktop and a phone width.
const { test, expect, rowOf, startRangeSimulator } = require('../fixtures');

const RANGE = '127.0.7.0/29';  // six devices, one at each host address

test.describe('discovery', () => {
  let stop = null;
  test.beforeAll(() => { stop = startRangeSimulator(RANGE, 6); });
  test.afterAll(() => { if (stop) stop(); });

  test('a range is discovered, one device renamed and two adopted', async ({ admin, elements, shot }) => {
    // The root page offers discovery to an administrator.
    await expect(admin.locator('#discovery-link')).toBeVisible();
    await admin.locator('#discovery-link').click();
    await expect(admin).toHaveURL(/discovery\.html$/);

    // Bad input is refused with the range named, and the field keeps focus.
    await admin.locator('#discovery-ranges').fill('127.0.7.9-127.0.7.1');
    await admin.locator('#discovery-start').click();
    await expect(admin.locator('#discovery-summary')).toHaveText('"127.0.7.9-127.0.7.1" ends before it begins.');

    await admin.locator('#discovery-ranges').fill(RANGE);
    await admin.locator('#discovery-start').click();
    await expect(admin.locator('#discovery-summary')).toContainText('Done: 6 devices found', { timeout: 90_000 });
    await expect(admin.locator('#discovery-counts')).toContainText('6 of 6 asked, 6 answered, 6 recognised');
    const rows = admin.locator('#discovery-table tbody tr');
    await expect(rows).toHaveCount(6);
    await expect(rows.nth(0)).toContainText('famib');
    await expect(rows.nth(1)).toContainText('smlib');
    await expect(admin.locator('#discovery-name-0')).toHaveValue('tc01-1');
    await expect(admin.locator('#discovery-name-1')).toHaveValue('lib01-1');
    await shot(admin, 'discovery-results-wide');

    // Rename the first, adopt the first two; whatever happens, they are
    // removed again for the other tests (a device left managed after its
    // simulator stops would slow every later page).
    const origin = { Origin: new URL(admin.url()).origin };
    try {
      await admin.locator('#discovery-name-0').fill('ctl7');
      await rows.nth(0).locator('.discovery-pick').check();
      await rows.nth(1).locator('.discovery-pick').check();
      await admin.locator('#discovery-adopt').click();
      await expect(admin.locator('#discovery-summary')).toHaveText('Adopted 2 devices: ctl7, lib01-1.');
      await expect(rows.nth(0)).toContainText('as ctl7');
      await expect(rows.nth(1)).toContainText('as lib01-1');
      await expect(rows.nth(0).locator('.discovery-pick')).toHaveCount(0);

      // Adopted devices join as "Being recognised" and are bound by their
      // own threads; once both are, the root page lists them by name.
      for (const name of ['ctl7', 'lib01-1']) {
        await expect.poll(async () => {
          const answer = await admin.request.get(`/KOR/api/v1/elements/${name}`);
          return answer.ok() ? (await answer.json()).bound : false;
        }, { timeout: 60_000 }).toBe(true);
      }
      await admin.goto('/KOR/');
      await expect(rowOf(elements, 'ctl7')).toHaveCount(1);
      await expect(rowOf(elements, 'lib01-1')).toHaveCount(1);
    } finally {
      for (const name of ['ctl7', 'lib01-1']) {
        await admin.request.delete(`/KOR/api/v1/elements/${name}`, { headers: origin });
      }
    }
    for (const name of ['ctl7', 'lib01-1']) {
      expect((await admin.request.get(`/KOR/api/v1/elements/${name}`)).status()).toBe(404);
    }
  });

  test('the page on a phone', async ({ admin, shot }) => {
    await admin.setViewportSize({ width: 390, height: 844 });
    await admin.goto('/KOR/discovery.html');
    await admin.locator('#discovery-ranges').fill(RANGE);
    await admin.locator('#discovery-start').click();
    await expect(admin.locator('#discovery-summary')).toContainText('Done: 6 devices found', { timeout: 90_000 });
    await shot(admin, 'discovery-results-narrow', { fullPage: true });
    const overflow = await admin.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
    expect(overflow).toBeLessThanOrEqual(0);
  });
});
