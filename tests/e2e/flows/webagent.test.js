// The device pages of a Fibre Alliance MIB controller as people reach them:
// a click on its name in the element list opens them in a window named after
// its address; they come from the device web agent through the agent's
// pass-through and show what the (simulated) device holds.
const { test, expect: fastExpect } = require('../fixtures');
const { execFileSync } = require('child_process');
const path = require('path');

const ROOT = path.resolve(__dirname, '..', '..', '..');
// Each device page costs a few dozen SNMP requests: on a busy machine a page
// can take several seconds.
const expect = fastExpect.configure({ timeout: 30_000 });
test.describe.configure({ timeout: 180_000 });
// connUnitContact of tc01's unit (WWN 10:00:00:60:45:17:2a:01)
const CONTACT = '1.3.6.1.3.94.1.6.1.23.16.0.0.96.69.23.42.1.0.0.0.0.0.0.0.0';

function snmpget(address, oid) {
  return execFileSync('snmpget', ['-v1', '-c', 'public', '-t', '1', '-r', '2', '-Oqv',
                                  `${address}:${process.env.KORAGENT_SNMP_PORT}`, oid], { encoding: 'utf8' }).trim();
}

function simulator(script, extra = []) {
  execFileSync(path.join(ROOT, 'simulator', script), ['--run-dir', process.env.KOR_SIM_RUN_DIR, ...extra],
               { encoding: 'utf8', timeout: 60_000 });
}

test('a controller\'s name opens its device pages, and the administrator changes its contact',
  async ({ admin, elements, sim, shot }) => {
    const address = sim.address('tc01');
    const link = elements.getByRole('link', { name: 'tc01', exact: true });
    await expect(link).toBeVisible();
    const [device] = await Promise.all([admin.waitForEvent('popup'), link.click()]);
    await device.waitForLoadState();
    expect(await device.evaluate(() => window.name)).toBe(address);
    await expect(device).toHaveURL(new RegExp(`/KOR/WebAgent/index\\.html\\?addr=${address.replace(/\./g, '\\.')}`));

    const row = (label) => device.locator('tr', { has: device.locator('td', { hasText: new RegExp(`^${label}$`) }) });
    await expect(row('World Wide Name')).toContainText('10:00:00:60:45:17:2a:01');
    await expect(row('Product')).toContainText('Quillane FTC-400 Tape Controller');
    await expect(row('Revisions')).toContainText('4.12.07 (Firmware)');
    await expect(row('Status')).toContainText('ok');
    await expect(device.locator('td.header')).toContainText(address);
    await shot(device, 'webagent-overview');

    await device.getByRole('link', { name: 'Events' }).click();
    await expect(device.locator('body')).toContainText('Self test passed');
    await device.getByRole('link', { name: 'Ports' }).click();
    await expect(device.locator('body')).toContainText('N_Port');
    await shot(device, 'webagent-ports');
    await device.getByRole('link', { name: 'Overview' }).click();

    await device.locator('input[name=contact]').first().fill('Night shift');
    await device.getByRole('button', { name: 'Save' }).first().click();
    await expect(device.locator('body')).toContainText('Contact and location saved.');
    await expect(device.locator('input[name=contact]').first()).toHaveValue('Night shift');
    expect(snmpget(address, CONTACT)).toBe('"Night shift"');
  });

test('a device that does not answer gives a page that says so', async ({ admin, sim, shot }) => {
  const address = sim.address('tc01');
  simulator('stop.sh');
  try {
    // What was read of the device in the last 3 seconds is still shown: as
    // a person would, reload until the page tells.
    await expect(async () => {
      await admin.goto(`/KOR/WebAgent/index.html?addr=${address}&device=tc01`);
      await expect(admin.locator('div.head2')).toHaveText('Device not answering', { timeout: 1_000 });
    }).toPass({ timeout: 60_000 });
    await expect(admin.locator('body')).toContainText(`The device at ${address} did not answer`);
    await shot(admin, 'webagent-silent');
  } finally {
    simulator('start.sh', ['--port', process.env.KORAGENT_SNMP_PORT, '--base', address]);
  }
});
