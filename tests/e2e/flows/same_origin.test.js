// The pages under a second name of the host, as through a tunnel or a
// reverse proxy: signed in at https://localhost:<port> while the other tests
// (and the host's own address) use 127.0.0.1, an error page gets its script,
// style sheet and image from the origin the browser used, and its OK stays
// on that origin, signed in. The add dialog's error page as the
// administrator sees it; the device pages' "must log in" banner as a user
// without the administrator right sees it.
const { test, expect, login, adminPassword } = require('../fixtures');
const { execFileSync } = require('child_process');
const path = require('path');

const VIEWER_PASSWORD = 'viewer-password-e2e';
const port = () => new URL(process.env.KOR_BASE_URL).port;
const ORIGIN = () => `https://localhost:${port()}`;

// A window at the second name that records what it loads and what fails.
async function secondNameWindow(browser) {
  const context = await browser.newContext({ baseURL: ORIGIN(), ignoreHTTPSErrors: true });
  const page = await context.newPage();
  const seen = { requests: [], errors: [] };
  page.on('request', (r) => seen.requests.push(r.url()));
  page.on('pageerror', (e) => seen.errors.push(e.message));
  // A load the browser cancels because the page navigates on (the
  // favicon of a page left at once) is no failure; every request still
  // counts for the origin check.
  page.on('requestfailed', (r) => {
    if (r.failure().errorText !== 'net::ERR_ABORTED') seen.errors.push(`${r.url()}: ${r.failure().errorText}`);
  });
  return { context, page, seen };
}

// Everything the page loaded came from the browser's origin, and nothing failed.
function expectOneOrigin(seen) {
  expect(seen.requests.filter((url) => new URL(url).origin !== ORIGIN())).toEqual([]);
  expect(seen.errors).toEqual([]);
}

// The warning image has loaded (it has a size).
async function expectWarningImage(page) {
  const image = page.locator('img[src="/KOR/warningwhite.gif"]');
  await expect(image).toBeVisible();
  expect(await image.evaluate((img) => img.complete && img.naturalWidth > 0)).toBe(true);
}

test('the add dialog\'s error page keeps to the origin the browser used', async ({ browser, shot }) => {
  const { context, page, seen } = await secondNameWindow(browser);
  await login(page, 'administrator', adminPassword(), '/KOR/add_element.html');
  await page.getByRole('button', { name: 'Add' }).click();
  await expect(page.locator('body')).toContainText('One or more fields have not been specified.');
  await expectWarningImage(page);
  // The script ran and linked the style sheet, which applies.
  await expect(page.locator('link#orla-style')).toHaveAttribute('href', /\/KOR\/orla\.css$/);
  await expect(page.locator('table.dark')).toHaveCSS('border-collapse', 'collapse');
  await shot(page, 'same-origin-error');
  expect(seen.requests).toContain(`${ORIGIN()}/KOR/orla_utilities.js`);
  expectOneOrigin(seen);

  await page.getByRole('button', { name: 'OK' }).click();
  await expect(page).toHaveURL(`${ORIGIN()}/KOR/add_element.html`);
  await expect(page.locator('input[name=element_name]')).toBeVisible();
  expectOneOrigin(seen);
  await context.close();
});

test('the device pages\' "must log in" banner leads back on the same origin, signed in',
  async ({ browser, sim, shot }) => {
    const korusers = path.join(process.env.KOR_PROGRAM_DIR, 'korusers');
    const input = `${VIEWER_PASSWORD}\n`;
    try {
      execFileSync(korusers, ['add', 'viewer', 'KORAccess=1'], { input, stdio: ['pipe', 'ignore', 'ignore'] });
    } catch (e) {
      execFileSync(korusers, ['password', 'viewer'], { input, stdio: ['pipe', 'ignore', 'ignore'] });
    }
    const address = sim.address('tc01');
    const { context, page, seen } = await secondNameWindow(browser);
    const overview = `/KOR/WebAgent/index.html?addr=${address}&device=tc01`;
    await login(page, 'viewer', VIEWER_PASSWORD, '/KOR/');
    await page.goto(overview);
    // The page offers a reader no change; a form kept from an
    // administrator's page (here written into the page) is refused all the same.
    await expect(page.locator('td', { hasText: /^Contact$/ }).first()).toBeVisible({ timeout: 30_000 });
    await expect(page.locator('input[name=contact]')).toHaveCount(0);
    await page.evaluate((addr) => {
      const form = document.createElement('form');
      form.method = 'post';
      form.action = window.location.href;
      for (const [name, value] of [['addr', addr], ['device', 'tc01'], ['onAuthErr', 'index.html'],
                                   ['contact', 'Not mine to change']]) {
        const field = document.createElement('input');
        field.type = 'hidden';
        field.name = name;
        field.value = value;
        form.appendChild(field);
      }
      document.body.appendChild(form);
      form.submit();
    }, address);
    await expect(page.locator('body')).toContainText(
      'You must log in (or log in again) as administrator to perform this operation.');
    await expectWarningImage(page);
    await shot(page, 'same-origin-banner');

    await page.getByRole('button', { name: 'OK' }).click();
    await expect(page).toHaveURL(`${ORIGIN()}/KOR/WebAgent/index.html?device=tc01&addr=${address}`);
    await expect(page.locator('td', { hasText: /^Contact$/ }).first()).toBeVisible({ timeout: 30_000 });
    expectOneOrigin(seen);
    await context.close();
  });
