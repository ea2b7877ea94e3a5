// The history page, one case per kind of device: the simulated controller
// tc01's ports and the simulated library lib01's drives and slots as charts
// drawn in the browser (Chart.js, served by the agent), each with a table of
// its points that holds data, at a desktop and a phone width; the range
// picker asks for another range. The shared agent does not manage the
// libraries: the library's case adds lib01 and removes it again.
const { test, expect, manage } = require('../fixtures');

const VIEWPORTS = { wide: { width: 1280, height: 800 }, narrow: { width: 390, height: 844 } };

// Each case: the element, whether the agent manages it already, the section
// whose charts are checked (its heading and figure captions), and the
// column a table of its first chart starts with.
const CASES = [
  { name: 'tc01', managed: true, part: 'Port 1',
    captions: ['Port 1: errors per hour by kind', 'Port 1: throughput'], column: 'CRC errors (errors/h)' },
  { name: 'lib01', managed: false, part: 'Drive 1',
    captions: ['Drive 1: mounts per day', 'Drive 1: hours'], column: 'Mounts (mounts/day)',
    also: { part: 'Library', captions: ['Library: slots'] } },
];

// Opens the page until the element's polls have written a point with a
// value into the first chart of `part` (the agent polls every 60 s here).
async function openHistory(admin, name, part) {
  await expect(async () => {
    await admin.goto('/KOR/history.html?element=' + encodeURIComponent(name));
    await expect(admin.locator('#history-summary')).toContainText('points from', { timeout: 2_000 });
    const section = admin.locator('section.history-part', { has: admin.getByRole('heading', { name: part, exact: true }) });
    await section.getByText('Table of these points').first().click();
    const values = section.locator('table.history-table td');
    await expect(values.filter({ hasNotText: 'no data' }).first()).toBeVisible({ timeout: 2_000 });
  }).toPass({ timeout: 240_000 });
}

for (const c of CASES) {
  test(`the history of ${c.name} is drawn with a table beside each chart`,
    async ({ admin, elements, sim, shot }) => {
      test.setTimeout(360_000);
      const release = c.managed ? async () => {} : await manage(admin, elements, sim, c.name);
      try {
        const hosts = [];
        admin.on('request', (r) => hosts.push(new URL(r.url()).host));
        await openHistory(admin, c.name, c.part);
        await expect(admin.locator('#history-element')).toHaveText(c.name);
        const section = (part) => admin.locator('section.history-part',
          { has: admin.getByRole('heading', { name: part, exact: true }) });
        const part = section(c.part);
        await expect(part.locator('figure.history-figure canvas')).toHaveCount(c.captions.length);
        await expect(part.locator('figcaption')).toHaveText(c.captions);
        if (c.also) await expect(section(c.also.part).locator('figcaption')).toHaveText(c.also.captions);
        // The same points as a table, for screen readers.
        const table = part.getByRole('table', { name: c.captions[0] });
        await expect(table.getByRole('columnheader').nth(1)).toHaveText(c.column);
        expect(await table.getByRole('row').count()).toBeGreaterThan(1);
        await part.getByText('Table of these points').first().click();
        // Drawn by Chart.js: the canvas has its size and the chart its data.
        expect(await admin.evaluate(() => typeof Chart)).toBe('function');
        expect(await part.locator('canvas').first().evaluate((canvas) => canvas.width)).toBeGreaterThan(100);
        // The second chart is a line: a few polls in a whole day still show, as dots at its ends.
        expect(await part.locator('canvas').nth(1).evaluate((canvas) => Chart.getChart(canvas).getDatasetMeta(0)
          .data.some((point) => point.options.radius > 0))).toBe(true);
        // Every request stayed with the agent.
        expect([...new Set(hosts)]).toEqual([new URL(admin.url()).host]);

        for (const [name, size] of Object.entries(VIEWPORTS)) {
          await admin.setViewportSize(size);
          await expect(part.locator('canvas').first()).toBeVisible();
          const sideways = await admin.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
          expect(sideways, `${name}: no sideways scrolling`).toBeLessThanOrEqual(0);
          await shot(admin, `history-${c.name}-${name}`, { fullPage: name === 'narrow' });
        }
        await admin.setViewportSize(VIEWPORTS.wide);

        // Another range: the agent answers it hourly.
        const asked = admin.waitForResponse((r) => /\/history\?range=week$/.test(r.url()) && r.status() === 200);
        await admin.getByRole('radio', { name: 'Week' }).check();
        await asked;
        await expect(admin.locator('#history-summary')).toContainText('points from');
      } finally {
        await admin.goto('/KOR/');
        await release();
      }
    });
}

test('an unknown element is named as such', async ({ admin }) => {
  await admin.goto('/KOR/history.html?element=' + encodeURIComponent('no-such <b>x'));
  await expect(admin.locator('#history-element')).toHaveText('no-such <b>x');
  await expect(admin.locator('#history-summary')).toHaveText('The tape controller specified does not exist.');
});
