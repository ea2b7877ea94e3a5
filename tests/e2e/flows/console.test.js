// The live console: the list keeping itself current, its status summary,
// sorting and filtering, the events page with a trap sent by snmptrap, the
// notice while an add waits for a silent address, and a device page headed
// with the element's name.
const { test, expect, openFromMenu, rowOf } = require('../fixtures');
const { execFileSync } = require('child_process');
const dgram = require('dgram');
const fs = require('fs');

const TRAP_PORT = (process.env.KORAGENT_TRAP_LISTEN || '').split(':').pop();
const MARKUP = '<img src=x onerror=alert(2)>';
// tc01's unit id as an instance suffix (WWN 10:00:00:60:45:17:2a:01).
const TC01_UNIT = '16.0.0.96.69.23.42.1.0.0.0.0.0.0.0.0';

// The names of the list's visible element rows, in order.
async function visibleNames(elements) {
  return elements.locator('tr.element-row:not([hidden]) td:nth-child(2) > a:first-child').allInnerTexts();
}

// Waits until the agent's event log holds a new line about `name`'s status
// (after `from` bytes); the moment it was seen.
async function agentEvent(name, from) {
  const file = process.env.KORAGENT_EVENT_LOG;
  const seen = new RegExp(`${name} \\([^)]*\\): (status changed|.*\u2192)`);
  for (;;) {
    const lines = fs.readFileSync(file).subarray(from).toString('utf8').split('\n');
    if (lines.some((l) => seen.test(l))) return Date.now();
    await new Promise((r) => setTimeout(r, 200));
  }
}

test('a status change set through simctl shows in the open console within 5 s of the agent\'s event, highlighted, in words',
  async ({ admin, elements, sim, shot }) => {
    test.setTimeout(150_000);
    const row = rowOf(elements, 'tc01');
    await expect(row).toHaveClass(/status-ok/, { timeout: 45_000 });
    await expect(row.locator('td.last-answered')).toHaveText(/^\d\d:\d\d:\d\d$/);
    await expect(row.locator('td.status-since')).toHaveText(/\d\d:\d\d:\d\d/);
    // The list's own interval reload is off: the console's status poll alone must carry the change.
    await admin.locator('select[name=refresh-interval]').selectOption('0');
    const from = fs.statSync(process.env.KORAGENT_EVENT_LOG).size;
    try {
      sim.ctl('status tc01 failed');
      await agentEvent('tc01', from);
      await expect(row).toHaveClass(/status-failed/, { timeout: 5_000 });
      await expect(row).toHaveClass(/row-changed/);
      await expect(row.locator('.status-text')).toHaveText('Failed');
      await expect(admin.locator('.change-note')).toHaveText('tc01: OK \u2192 Failed');
      await expect(admin.locator('.chip-failed .count')).toHaveText('2');
      await shot(admin, 'console-live-change');
    } finally {
      sim.ctl('status tc01 ok');
    }
    await admin.getByRole('button', { name: 'Refresh' }).click();
    await expect(row).toHaveClass(/status-ok/, { timeout: 70_000 });
    // The choice is kept in the browser.
    await admin.reload();
    await expect(admin.locator('select[name=refresh-interval]')).toHaveValue('0');
    await admin.locator('select[name=refresh-interval]').selectOption('30');
  });

test('the summary counts the statuses and filters by them; columns sort; the text filter narrows the list',
  async ({ admin, elements, shot }) => {
    await expect(rowOf(elements, 'tc03')).toHaveClass(/status-failed/, { timeout: 45_000 });
    for (const status of ['ok', 'degraded', 'failed', 'unknown']) {
      const shown = await elements.locator(`tr.element-row.status-${status}`).count();
      await expect(admin.locator(`.chip-${status} .count`)).toHaveText(String(shown));
    }
    await admin.locator('.chip-failed').click();
    expect(await visibleNames(elements)).toEqual(['tc03']);
    await expect(admin.locator('.chip-failed')).toHaveAttribute('aria-pressed', 'true');
    await admin.locator('.chip-failed').click();
    expect((await visibleNames(elements)).length).toBe(4);

    const name = elements.getByRole('button', { name: 'Name', exact: true });
    await name.click();
    expect(await visibleNames(elements)).toEqual(['mk01', 'tc01', 'tc02', 'tc03']);
    await name.click();
    expect(await visibleNames(elements)).toEqual(['tc03', 'tc02', 'tc01', 'mk01']);
    await expect(elements.locator('td[aria-sort=descending]')).toContainText('Name');
    // The first click on Status puts the worst first.
    await elements.getByRole('button', { name: 'Status', exact: true }).click();
    expect((await visibleNames(elements)).slice(0, 2)).toEqual(['tc03', 'tc02']);

    await admin.locator('#list-filter').fill('TC02');
    expect(await visibleNames(elements)).toEqual(['tc02']);
    await shot(admin, 'console-filtered');
    await admin.locator('#list-filter').fill('no-such-controller');
    await expect(elements.locator('#no-matches')).toHaveText('No tape controller matches \u201cno-such-controller\u201d.');
    await admin.locator('#list-filter').fill('');
    await expect(elements.locator('#no-matches')).toHaveCount(0);
    expect((await visibleNames(elements)).length).toBe(4);
  });

test('a trap sent with snmptrap is on the events page within seconds, found by its element, its text escaped',
  async ({ admin, sim, dialogs, shot }) => {
    const token = 'e2e-' + Date.now();
    execFileSync('snmptrap', ['-v', '1', '-c', 'public', `127.0.0.1:${TRAP_PORT}`, '1.3.6.1.3.94', sim.address('tc01'),
                              '6', '4', '0',
                              `1.3.6.1.3.94.1.11.1.3.${TC01_UNIT}.9`, 'i', '77',
                              `1.3.6.1.3.94.1.11.1.9.${TC01_UNIT}.9`, 's', `${token} ${MARKUP}`]);
    await admin.getByRole('link', { name: 'Events', exact: true }).click();
    await expect(admin).toHaveURL(/\/KOR\/events\.html$/);
    await admin.locator('input[name=element]').fill('tc01');
    await admin.getByRole('button', { name: 'Apply' }).click();
    const row = admin.locator('tr.event-row', { hasText: token });
    await expect(async () => {
      await admin.getByRole('button', { name: 'Refresh' }).click();
      await expect(row).toHaveCount(1, { timeout: 1000 });
    }).toPass({ timeout: 10_000 });
    await expect(row.locator('td.event-text')).toContainText(`${token} ${MARKUP}`);
    await expect(row.locator('td.event-kind')).toContainText('.1.3.6.1.3.94.0.4');
    await expect(row.locator('td.event-element')).toHaveText('tc01');
    await expect(admin.locator('tr.event-row td.event-element')).toHaveText(
      new Array(await admin.locator('tr.event-row').count()).fill('tc01'));
    await expect(admin.locator('#export-csv')).toHaveAttribute('href', /element=tc01/);
    await shot(admin, 'events-page');

    await admin.locator('input[name=element]').fill('tc02');
    await admin.getByRole('button', { name: 'Apply' }).click();
    await expect(row).toHaveCount(0);
    await expect(admin.locator('img[src="x"]')).toHaveCount(0);
    expect(dialogs).toEqual([]);
  });

test('an add that waits for a silent address says so and cannot be sent twice', async ({ admin, elements, shot }) => {
  test.setTimeout(90_000);
  // A device that takes the requests and never answers them.
  const silent = dgram.createSocket('udp4');
  await new Promise((resolve) => silent.bind(Number(process.env.KORAGENT_SNMP_PORT), '127.0.1.250', resolve));
  try {
    const add = await openFromMenu(admin, elements, 'Add…');
    await add.locator('input[name=element_address]').fill('127.0.1.250');
    await add.locator('input[name=element_name]').fill('silent');
    // Playwright's clicks and locators wait for the answer to a form (the
    // navigation it starts), which is what takes long here: the page itself
    // presses Add and notes what it shows meanwhile in its session storage,
    // read back once the answer has come.
    await add.evaluate(() => {
      sessionStorage.removeItem('busy-seen');
      new MutationObserver(() => {
        const notice = document.getElementById('busy-notice');
        const button = document.querySelector('input[type=submit]');
        if (notice && notice.textContent && button.disabled) sessionStorage.setItem('busy-seen', notice.textContent);
      }).observe(document.body, { childList: true, subtree: true, attributes: true });
      setTimeout(() => document.querySelector('input[type=submit]').click(), 0);
    });
    await expect(add.locator('body')).toContainText('No response', { timeout: 45_000 });
    expect(await add.evaluate(() => sessionStorage.getItem('busy-seen'))).toContain('trying 127.0.1.250. An address that does not answer takes up to about 30 seconds.');
    await add.close();

    // The same dialog with its sending held back, to look at the notice and
    // to see a second press refused.
    const again = await openFromMenu(admin, elements, 'Add…');
    const sent = await again.evaluate(() => {
      const form = document.forms[0];
      let count = 0;
      form.addEventListener('submit', (e) => { if (!e.defaultPrevented) count++; e.preventDefault(); });
      form.requestSubmit();
      form.requestSubmit();
      return count;
    });
    expect(sent).toBe(1);
    await expect(again.locator('#busy-notice')).toBeVisible();
    await expect(again.locator('#busy-notice .busy-elapsed')).toHaveText(/^ Waiting [1-9]\d* s…$/);
    await expect(again.locator('input[type=submit]')).toBeDisabled();
    await shot(again, 'add-busy');
    await again.close();
  } finally {
    silent.close();
  }
});

test('a device page is headed with the element\'s name, shows its Events tab and names event objects',
  async ({ admin, elements, sim }) => {
    test.setTimeout(120_000);
    const address = sim.address('tc01');
    const link = elements.getByRole('link', { name: 'tc01', exact: true });
    await expect(link).toHaveAttribute('href', /device=tc01/);
    const [device] = await Promise.all([admin.waitForEvent('popup'), link.click()]);
    await expect(device.locator('td.header').first()).toHaveText(`Device tc01 (${address})`, { timeout: 30_000 });
    await device.getByRole('link', { name: 'Events' }).click();
    await expect(device.locator('tr.light').first()).toBeVisible({ timeout: 30_000 });
    await expect(device.locator('body')).toContainText('Unit 1');
    await expect(device.locator('body')).not.toContainText('1.3.6.1.3.94.1.6.1.1.');
    // A link that names the address only (a type file's home page URL) still
    // works, headed with the address.
    await device.goto(`/KOR/WebAgent/index.html?addr=${address}`);
    await expect(device.locator('td.header').first()).toHaveText(`Device ${address}`, { timeout: 30_000 });
    await device.close();
  });
