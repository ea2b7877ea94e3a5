// The look: every page state in a wide and a narrow window (one table),
// laid out as designed (no sideways scrolling, nothing scrolling inside an
// inner frame, no word broken in the middle; the console bar and the
// events filters on one line in a wide window, above the list they filter,
// the list using the width) and compared with its committed baseline image
// (baselines/; times masked, animations off). Regenerate the baselines after
// a deliberate change of the look:
//   tests/e2e/run.sh build/asan look --update-snapshots
// (the README's picture is zz_readme_picture.test.js's).
const { test, expect, manage, openFromMenu, rowOf, startRangeSimulator } = require('../fixtures');
const VIEWPORTS = { wide: { width: 1280, height: 800 }, narrow: { width: 390, height: 844 } };
// Masked: times, and the agent's SNMP engine ID (random for each program directory).
const TIMES = ['td.status-since', 'td.last-answered', '.live-refresh .updated', 'td.event-time', '#orla-engine code',
               '.busy-elapsed', 'td.alarm-since'];

// The boxes of `selector` in `frame` (a page or a frame), as plain objects.
const boxes = (frame, selector) => frame.locator(selector).evaluateAll(
  (nodes) => nodes.filter((n) => n.offsetParent !== null).map((n) => n.getBoundingClientRect().toJSON()));

// No sideways scrolling; the message names the innermost boxes sticking out.
async function expectNoSideScroll(frame, what) {
  const [over, wide] = await frame.evaluate(() => {
    const width = document.documentElement.clientWidth;
    const sticksOut = (n) => n.getBoundingClientRect().right + window.scrollX > width + 1;
    const out = [...document.body.querySelectorAll('*')].filter((n) => sticksOut(n) && ![...n.children].some(sticksOut));
    return [document.documentElement.scrollWidth - width,
            out.slice(0, 4).map((n) => n.tagName.toLowerCase() + (n.className ? '.' + n.className : '') +
                                       (n.name ? `[name=${n.name}]` : ''))];
  });
  expect(over, `${what} scrolls sideways by ${over} px (${wide.join(', ')})`).toBeLessThanOrEqual(0);
}

// All of `items` on one line: one horizontal band crosses every one of them.
async function expectOneLine(frame, items, what) {
  const all = await boxes(frame, items);
  expect(all.length, `${what}: nothing laid out`).toBeGreaterThan(0);
  const band = `tops ${all.map((b) => Math.round(b.top)).join(', ')}; bottoms ${all.map((b) => Math.round(b.bottom)).join(', ')}`;
  expect(Math.max(...all.map((b) => b.top)) < Math.min(...all.map((b) => b.bottom)), `${what} on one line (${band})`).toBe(true);
}

// Nothing scrolls inside a frame of its own (a box with overflow auto or
// scroll that holds more than it shows, or an iframe whose page is taller or
// wider than the frame): the page itself scrolls. Lists a person picks from
// (SELECT size=n) are the exception.
async function expectNoInnerScroll(frame, what) {
  const inner = await frame.evaluate(() => {
    const name = (n) => n.tagName.toLowerCase() + (n.id ? '#' + n.id : '') +
                        (typeof n.className === 'string' && n.className ? '.' + n.className.split(' ').join('.') : '');
    const boxes = [...document.body.querySelectorAll('*')].filter((n) => {
      if (/^(SELECT|TEXTAREA|OPTION)$/.test(n.tagName) || n.getClientRects().length === 0) return false;
      const s = getComputedStyle(n);
      return (/auto|scroll/.test(s.overflowX) && n.scrollWidth > n.clientWidth + 1) ||
             (/auto|scroll/.test(s.overflowY) && n.scrollHeight > n.clientHeight + 1);
    }).map(name);
    const frames = [...document.querySelectorAll('iframe')].filter((f) => {
      if (f.hidden || f.getClientRects().length === 0) return false;
      try {
        const d = f.contentDocument.documentElement;
        return d.scrollHeight > d.clientHeight + 1 || d.scrollWidth > d.clientWidth + 1;
      } catch (e) { return false; }
    }).map(name);
    return [...boxes, ...frames];
  });
  expect(inner, `${what} scrolls inside ${inner.join(', ')}`).toEqual([]);
}

// No word broken across two lines: every run of letters and digits (up to
// 24 characters; a longer identifier may have to break) sits on one line.
async function expectWholeWords(frame, what) {
  const broken = await frame.evaluate(() => {
    const out = [];
    const range = document.createRange();
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node && out.length < 5; node = walker.nextNode()) {
      const el = node.parentElement;
      if (!el || /^(SCRIPT|STYLE|OPTION|TEXTAREA)$/.test(el.tagName) || el.getClientRects().length === 0) continue;
      if (el.closest('.visually-hidden, [aria-hidden=true]')) continue;
      for (const m of node.data.matchAll(/[\p{L}\p{N}]{2,24}/gu)) {
        range.setStart(node, m.index);
        range.setEnd(node, m.index + m[0].length);
        const tops = new Set([...range.getClientRects()].filter((r) => r.width > 0).map((r) => Math.round(r.top)));
        if (tops.size > 1) out.push(m[0]);
      }
    }
    return out;
  });
  expect(broken, `${what} breaks words in the middle: ${broken.join(', ')}`).toEqual([]);
}

async function expectAbove(frame, upper, lower, what) {
  const [a] = await boxes(frame, upper);
  const [b] = await boxes(frame, lower);
  expect(a && b && a.bottom <= b.top + 1, `${what}: ${upper} (bottom ${a && a.bottom}) above ${lower} (top ${b && b.top})`)
    .toBe(true);
}

async function expectFullWidth(frame, table, what) {
  const [box] = await boxes(frame, table);
  const width = await frame.evaluate(() => document.documentElement.clientWidth);
  expect(box && box.width >= width * 0.9, `${what}: ${table} ${box && Math.round(box.width)} px of ${width}`).toBe(true);
}

async function rootPage({ admin, elements }, wide) {
  await expect(rowOf(elements, 'tc03')).toHaveClass(/status-failed/, { timeout: 45_000 });
  const list = admin.frame({ name: 'elements' });
  await expectNoSideScroll(list, 'the element list');
  if (wide) await expectOneLine(admin, '.console-bar > *', 'the console bar');
  await expectAbove(admin, '#console-bar', 'iframe#elements', 'the console bar');
  await expectFullWidth(list, 'table.element-table', 'the element list');
  return admin;
}

async function eventsPage({ admin, shot }, wide) {
  await admin.goto('/KOR/events.html');
  await expect(admin.locator('tr.event-row').first()).toBeVisible();
  if (wide) await expectOneLine(admin, '#event-filter > *', 'the events filters');
  await expectAbove(admin, '#event-filter', '#event-table', 'the events filters');
  await expectFullWidth(admin, '#event-table', 'the event table');
  const inner = await admin.locator('main.console').evaluate((m) => m.scrollWidth - m.clientWidth);
  expect(inner, `the events list scrolls sideways by ${inner} px`).toBeLessThanOrEqual(0);
  await shot(admin, `look-events-full-${wide ? 'wide' : 'narrow'}`);
  // The image compared: a filter nothing matches, so it does not depend on
  // what the other tests logged.
  await admin.goto('/KOR/events.html?element=no-such-controller');
  await expect(admin.locator('td.no-events')).toBeVisible();
  return admin;
}

async function alarmsPage({ admin }) {
  await admin.goto('/KOR/alarms.html');
  await expect(admin.locator('#alarm-table tr.alarm-row[data-alarm="tc03:status"]')).toBeVisible();
  await expectFullWidth(admin, '#alarm-table', 'the alarm table');
  // The image compared does not depend on what the other tests cleared.
  await admin.evaluate(() => document.querySelectorAll('details.alarm-cleared').forEach((d) => d.remove()));
  return admin;
}

// A controller's device pages, on the tab `tab` (Overview, Status, Ports, Events).
const devicePage = (tab) => async ({ admin, elements, sim, viewport }) => {
  const [device] = await Promise.all([admin.waitForEvent('popup'),
                                      elements.getByRole('link', { name: 'tc02', exact: true }).click()]);
  await device.setViewportSize(viewport);
  await expect(device.locator('td.header').first()).toHaveText(`Device tc02 (${sim.address('tc02')})`, { timeout: 30_000 });
  if (tab !== 'Overview') {
    await device.locator('.webagent-nav').getByRole('link', { name: tab, exact: true }).click();
    await expect(device.locator('.webagent-nav b')).toHaveText(tab, { timeout: 30_000 });
  }
  await device.waitForLoadState('networkidle');
  return device;
};

// A tape library's device page (one page: the library, its drives, changers,
// slots and ports), lib02 managed for the while (`after` puts the list
// back). The trap destination names the agent's trap port, which differs
// from run to run: masked.
async function libraryPage({ admin, elements, sim, viewport, after, masks }) {
  test.setTimeout(180_000);
  after.push(await manage(admin, elements, sim, 'lib02'));
  const [device] = await Promise.all([admin.waitForEvent('popup'),
                                      elements.getByRole('link', { name: 'lib02', exact: true }).click()]);
  await device.setViewportSize(viewport);
  await expect(device.locator('.status-reason')).toBeVisible({ timeout: 60_000 });
  await device.waitForLoadState('networkidle');
  masks.push(device.locator('tr', { hasText: 'Trap destinations' }).locator('td').last());
  return device;
}

// A dialog in its own window, the size of the table's window (a phone shows
// it at the phone's width; a wide window shows it as the menu opens it).
const dialog = (item) => async ({ admin, elements, viewport, wide }) => {
  await expect(rowOf(elements, 'tc03')).toHaveClass(/status-failed/, { timeout: 45_000 });
  const win = await openFromMenu(admin, elements, item);
  if (!wide) await win.setViewportSize(viewport);
  return win;
};

// The Add window (560x440 in a wide window) while the agent waits for an
// address that does not answer: the busy notice is in view.
async function addWaiting(fixtures) {
  const win = await dialog('Add…')(fixtures);
  if (fixtures.wide) await win.setViewportSize({ width: 560, height: 440 });
  await win.locator('input[name=element_address]').fill('127.0.1.199');
  await win.locator('input[name=element_name]').fill('silent');
  // Sent with its sending held back (Playwright's locators would wait for
  // the answer): the page shows what it shows while the agent waits.
  await win.evaluate(() => {
    const form = document.forms.input_form;
    form.addEventListener('submit', (e) => e.preventDefault());
    form.requestSubmit();
  });
  const busy = win.locator('#busy-notice');
  await expect(busy).toContainText('trying 127.0.1.199');
  // Once the time waited shows (masked in the picture): the same lines at
  // every run, however soon the picture is taken.
  await expect(win.locator('.busy-elapsed')).toContainText('Waiting');
  // Still in view with the window scrolled back to its top.
  await win.evaluate(() => window.scrollTo(0, 0));
  await expect(busy).toBeInViewport({ ratio: 1 });
  return win;
}

// name, how to get there (given the fixtures and whether the window is wide)
const STATES = [
  ['root', rootPage],
  ['events', eventsPage],
  ['alarms', alarmsPage],
  ['device', devicePage('Overview')],
  ['device-status', devicePage('Status')],
  ['device-ports', devicePage('Ports')],
  ['device-events', devicePage('Events')],
  ['library', libraryPage],
  ['add', dialog('Add…')],
  ['add-waiting', addWaiting],
  ['remove', dialog('Remove…')],
  ['rename', dialog('Rename…')],
  ['configuration', dialog('Agent configuration…')],
  ['about', dialog('About')],
  // The import page with a file checked: a line to add in maintenance, one
  // already managed and one refused (a dry run: nothing changes).
  ['import', async ({ admin }) => {
    await admin.goto('/KOR/import.html');
    await admin.locator('#import-file').setInputFiles({
      name: 'devices.csv', mimeType: 'text/csv',
      buffer: Buffer.from('name,address,maintenance_note\ntc01,127.0.1.11,\nnew1,127.0.1.250,cabling work\n' +
                          'toolongname,127.0.1.251,\n'),
    });
    await admin.locator('#import-check').click();
    await expect(admin.locator('#import-table tbody tr')).toHaveCount(3);
    await expect(admin.locator('#import-summary')).toContainText('refused');
    await expect(admin.locator('#import-apply')).toBeDisabled();
    return admin;
  }],
  // The discovery page with a finished run over six simulated devices.
  ['discovery', async ({ admin, after }) => {
    after.push(startRangeSimulator('127.0.11.0/29', 6));
    await admin.goto('/KOR/discovery.html');
    await admin.locator('#discovery-ranges').fill('127.0.11.0/29');
    await admin.locator('#discovery-start').click();
    await expect(admin.locator('#discovery-summary')).toContainText('Done: 6 devices found', { timeout: 90_000 });
    // The run's duration varies.
    await admin.evaluate(() => {
      const summary = document.getElementById('discovery-summary');
      summary.textContent = summary.textContent.replace(/ in \d+ s\./, '.');
    });
    return admin;
  }],
  ['snmpv3-profiles', async ({ admin }) => {
    await admin.goto('/KOR/snmpv3_profiles.html');
    await expect(admin.locator('#profile_form')).toBeVisible();
    return admin;
  }],
  ['users', async ({ admin }) => {
    await admin.goto('/KOR/users.html');
    await expect(admin.locator('#add_form')).toBeVisible();
    // Only the administrator's row, so that the image does not depend on
    // the users other tests made before.
    await admin.evaluate(() => {
      for (const tr of document.querySelectorAll('#users tr[data-user]:not([data-user="administrator"])')) tr.remove();
      for (const o of document.querySelectorAll('#reset_user option:not([value="administrator"])')) o.remove();
      for (const o of document.querySelectorAll('#token_user option:not([value="administrator"])')) o.remove();
    });
    return admin;
  }],
];

for (const [size, viewport] of Object.entries(VIEWPORTS)) {
  test.describe(`${size} window`, () => {
    test.use({ viewport });
    for (const [name, open] of STATES) {
      test(`${name}, ${size}: laid out as designed and as its baseline`, async ({ admin, elements, sim, shot }) => {
        const wide = size === 'wide';
        // What a state changed for the while, put back whatever the outcome.
        const after = [];
        try {
          const masks = [];
          const win = await open({ admin, elements, sim, shot, viewport, wide, after, masks }, wide);
          const mask = [...masks, ...TIMES.map((s) => win.locator(s))];
          if (win === admin) mask.push(...TIMES.map((s) => elements.locator(s)));
          await shot(win, `look-${name}-${size}`, { mask });
          await expectNoSideScroll(win, name);
          await expectNoInnerScroll(win, name);
          await expectWholeWords(win, name);
          const list = win === admin && admin.frame({ name: 'elements' });
          if (list) await expectWholeWords(list, `${name}: the element list`);
          await expect(win).toHaveScreenshot(`${name}-${size}.png`, { mask, maxDiffPixelRatio: 0.01 });
          if (win !== admin) await win.close();
        } finally {
          for (const undo of after) await undo();
        }
      });
    }
  });
}
