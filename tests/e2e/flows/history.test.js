// The history page: the simulated controller tc01's ports as charts drawn in
// the browser (Chart.js, served by the agent), each with a table of its
// points, at a desktop and a phone width; the range picker asks for another
// range.
const { test, expect } = require('../fixtures');

const VIEWPORTS = { wide: { width: 1280, height: 800 }, narrow: { width: 390, height: 844 } };

// Opens the page until the element's first poll has written its history.
async function openHistory(admin, name) {
  await expect(async () => {
    await admin.goto('/KOR/history.html?element=' + encodeURIComponent(name));
    await expect(admin.locator('#history-summary')).toContainText('points from', { timeout: 2_000 });
  }).toPass({ timeout: 150_000 });
}

test('the history of a controller is drawn with a table beside each chart',
  async ({ admin, shot }) => {
    test.setTimeout(240_000);
    const scripts = [];
    admin.on('request', (r) => scripts.push(new URL(r.url()).host));
    await openHistory(admin, 'tc01');
    await expect(admin.locator('#history-element')).toHaveText('tc01');
    const port = admin.locator('section.history-part', { has: admin.getByRole('heading', { name: 'Port 1' }) });
    await expect(port.locator('figure.history-figure canvas')).toHaveCount(2);
    await expect(port.locator('figcaption')).toHaveText(['Port 1: errors per hour by kind', 'Port 1: throughput']);
    // The same points as a table, for screen readers.
    await port.getByText('Table of these points').first().click();
    const table = port.getByRole('table', { name: 'Port 1: errors per hour by kind' });
    await expect(table.getByRole('columnheader').nth(1)).toHaveText('CRC errors (errors/h)');
    expect(await table.getByRole('row').count()).toBeGreaterThan(1);
    await port.getByText('Table of these points').first().click();
    // Drawn by Chart.js: the canvas has its size and the chart its data.
    expect(await admin.evaluate(() => typeof Chart)).toBe('function');
    expect(await port.locator('canvas').first().evaluate((c) => c.width)).toBeGreaterThan(100);
    // Every request stayed with the agent.
    expect([...new Set(scripts)]).toEqual([new URL(admin.url()).host]);

    for (const [name, size] of Object.entries(VIEWPORTS)) {
      await admin.setViewportSize(size);
      await expect(port.locator('canvas').first()).toBeVisible();
      const sideways = await admin.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
      expect(sideways, `${name}: no sideways scrolling`).toBeLessThanOrEqual(0);
      await shot(admin, `history-tc01-${name}`, { fullPage: name === 'narrow' });
    }
    await admin.setViewportSize(VIEWPORTS.wide);

    // Another range: the agent answers it hourly.
    const asked = admin.waitForResponse((r) => /\/history\?range=week$/.test(r.url()) && r.status() === 200);
    await admin.getByRole('radio', { name: 'Week' }).check();
    await asked;
    await expect(admin.locator('#history-summary')).toContainText('points from');

  });

test('an unknown element is named as such', async ({ admin }) => {
  await admin.goto('/KOR/history.html?element=' + encodeURIComponent('no-such <b>x'));
  await expect(admin.locator('#history-element')).toHaveText('no-such <b>x');
  await expect(admin.locator('#history-summary')).toHaveText('The tape controller specified does not exist.');
});
