// SNMPv3 as an administrator sets it up in the browser: a profile added
// (a short pass phrase refused with nothing typed lost), assigned to a
// device's address and listed without its pass phrases; the device, a
// simulated one answering SNMPv3 only for that user, then polled over v3
// with the engine the agent learned on its device page; and the v3-only
// switch beside the agent configuration, which asks first naming the
// elements it would stop polling, with what the pages then say (those
// elements stale, keeping their last status, never counted as OK).
const { test, expect, openFromMenu, rowOf } = require('../fixtures');
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const ROOT = path.resolve(__dirname, '..', '..', '..');
const PROGRAM = process.env.KOR_PROGRAM_DIR;
const AGENT_DIR = PROGRAM ? fs.readFileSync(path.join(PROGRAM, 'KORAgent.cfg'), 'utf8').split('\n')[1] : '';
const CONF = path.join(AGENT_DIR, 'snmpv3.conf');
const AUTH = 'e2e-auth-pass-phrase';
const PRIV = 'e2e-priv-pass-phrase';
const V3_ADDRESS = '127.0.1.240';  // no other scenario's device
const WINDOWS = [['wide', 1280, 800], ['narrow', 390, 844]];

async function shots(page, shot, name) {
  for (const [size, width, height] of WINDOWS) {
    await page.setViewportSize({ width, height });
    await shot(page, `${name}-${size}`, { fullPage: true });
  }
}

// A dialog may reload the list behind it as it opens or closes: go on once that is done.
async function gotoSettled(page, url) {
  await expect(async () => { await page.goto(url); }).toPass();
}

function expectNoSecret(text, what) {
  expect(text, what).not.toContain(AUTH);
  expect(text, what).not.toContain(PRIV);
}

test.describe('SNMPv3', () => {
  // tc01's recording on an address of its own, answering only SNMPv3 for
  // the one user the profile names (context tc01 picks the recording).
  let simRun = '';
  test.beforeAll(() => {
    const devices = fs.readFileSync(path.join(process.env.KOR_SIM_RUN_DIR, 'devices.txt'), 'utf8');
    const port = devices.trim().split('\n')[0].split(/\s+/)[2];
    simRun = fs.mkdtempSync(path.join(os.tmpdir(), 'kor-e2e-v3-'));
    fs.chmodSync(simRun, 0o755);  // the simulator runs as nobody when started by root
    fs.writeFileSync(path.join(simRun, 'users'), `kor-e2e SHA256 ${AUTH} AES ${PRIV}\n`);
    execFileSync(path.join(ROOT, 'simulator', 'start.sh'),
                 ['--run-dir', path.join(simRun, 'run'), '--port', port, '--only', 'tc01',
                  '--at', `tc01=${V3_ADDRESS}`, '--v3-users', path.join(simRun, 'users')], { stdio: 'ignore' });
  });
  test.afterAll(() => {
    if (!simRun) return;
    execFileSync(path.join(ROOT, 'simulator', 'stop.sh'), ['--run-dir', path.join(simRun, 'run')], { stdio: 'ignore' });
    fs.rmSync(simRun, { recursive: true, force: true });
  });

  test('an administrator adds an SNMPv3 profile, assigns it and sees it listed without its secrets',
    async ({ admin, shot, baseURL }) => {
      await admin.goto('/KOR/snmpv3_profiles.html');
      const form = admin.locator('#profile_form');
      await form.getByLabel('Profile name').fill('e2e');
      await form.getByLabel('User name').fill('kor-e2e');
      await form.getByLabel('Security level').selectOption('authPriv');
      await form.getByLabel('Authentication protocol').selectOption('SHA-256');
      await form.getByLabel('Authentication pass phrase').fill('seven77');
      await form.getByLabel('Privacy protocol').selectOption('AES');
      await form.getByLabel('Privacy pass phrase').fill(PRIV);
      await form.getByLabel('Context name (optional)').fill('tc01');
      await form.getByRole('button', { name: 'Add Profile' }).click();
      // Refused with the tool's text; what was typed is still there, pass phrases excepted.
      await expect(admin.getByRole('alert')).toContainText('the authentication pass phrase has fewer than 8 characters');
      await expect(form.getByLabel('User name')).toHaveValue('kor-e2e');
      await expect(form.getByLabel('Authentication protocol')).toHaveValue('SHA-256');
      await expect(form.getByLabel('Privacy pass phrase')).toHaveValue('');
      await shots(admin, shot, 'snmpv3-profiles-refused');

      await form.getByLabel('Authentication pass phrase').fill(AUTH);
      await form.getByLabel('Privacy pass phrase').fill(PRIV);
      await form.getByRole('button', { name: 'Add Profile' }).click();
      await expect(admin.getByRole('status')).toContainText(
        'SNMPv3 profile e2e added (user kor-e2e, authPriv, SHA-256/AES, context tc01).');
      await admin.getByLabel('Assign to (default, ADDRESS or ADDRESS/BITS)').fill(V3_ADDRESS);
      await admin.getByLabel('Profile', { exact: true }).selectOption('e2e');
      await admin.getByRole('button', { name: 'Assign', exact: true }).click();
      await expect(admin.locator('#assignments')).toContainText(V3_ADDRESS);
      await expect(admin.locator('#profiles tr', { hasText: 'e2e' })).toContainText(V3_ADDRESS);

      // An edit with the pass phrases left empty keeps them.
      await admin.locator('#profiles tr', { hasText: 'e2e' }).getByRole('link', { name: 'Edit' }).click();
      await expect(admin.getByRole('heading', { name: 'Edit profile e2e' })).toBeVisible();
      await expect(admin.getByLabel('Authentication pass phrase')).toHaveValue('');
      await admin.getByRole('button', { name: 'Save Profile' }).click();
      await expect(admin.getByRole('status')).toContainText('SNMPv3 profile e2e replaced');
      const conf = fs.readFileSync(CONF, 'utf8');
      expect(conf).toContain(`auth-pass=${AUTH}`);
      expect(conf).toContain(`priv-pass=${PRIV}`);
      expect(fs.statSync(CONF).mode & 0o777).toBe(0o600);
      expectNoSecret(await admin.content(), 'the profiles page');
      await shots(admin, shot, 'snmpv3-profiles');

      // The device at that address is added, polled over SNMPv3, and its
      // device page shows the engine the agent learned.
      const added = await admin.request.post('/KOR/add_element.html', {
        form: { element_name: 'v3tc', element_address: V3_ADDRESS }, headers: { Origin: baseURL } });
      expect(added.status()).toBe(200);
      const v3Of = async () => {
        const status = await (await admin.request.get('/KOR/status.json')).text();
        expectNoSecret(status, 'status.json');
        const element = JSON.parse(status).elements.find((e) => e.address === V3_ADDRESS);
        return element ? JSON.stringify(element) : '';
      };
      await expect.poll(v3Of, { timeout: 30_000 }).toMatch(/"snmpv3":\{"user":"kor-e2e","engineId":"[0-9a-f]+"/);
      await admin.goto(`/KOR/WebAgent/index.html?addr=${V3_ADDRESS}&device=v3tc`);
      await expect(admin.locator('#orla-device-engine')).toContainText(/SNMPv3 user kor-e2e, engine ID 0x[0-9a-f]+, engine boots \d+/);
      expectNoSecret(await admin.content(), 'the device page');
      await shots(admin, shot, 'snmpv3-device');

      // Back as it was: the element, the assignment, the profile.
      await admin.request.post('/KOR/delete_element.html', { form: { element_name: 'v3tc', ok: 'Remove' }, headers: { Origin: baseURL } });
      await admin.goto('/KOR/snmpv3_profiles.html');
      await admin.getByRole('button', { name: `Unassign ${V3_ADDRESS}` }).click();
      await admin.getByRole('button', { name: 'Remove e2e' }).click();
      await admin.getByRole('dialog').getByRole('button', { name: 'Remove e2e' }).click();  // it asks first
      await expect(admin.getByRole('status')).toContainText('SNMPv3 profile e2e removed');
      expect(fs.readFileSync(CONF, 'utf8')).not.toContain(AUTH);
    });

  test('an administrator turns v3-only on beside the agent configuration, and the pages say so',
    async ({ admin, elements, shot }) => {
      const config = await openFromMenu(admin, elements, 'Agent configuration…');
      const section = config.locator('#orla-snmpv3');
      await expect(section).toContainText('v3-only mode is off.');
      // It asks first, naming the elements no profile covers; Cancel leaves it off.
      const { withoutProfile } = await (await admin.request.get('/KOR/snmpv3.json')).json();
      expect(withoutProfile).toBeGreaterThanOrEqual(4);  // tc01, tc02, tc03, mk01
      const ask = config.getByRole('dialog', { name: 'Turn v3-only on?' });
      await section.getByRole('button', { name: 'Turn v3-only on' }).click();
      await expect(ask).toContainText(`${withoutProfile} elements have no SNMPv3 profile and would stop being polled: tc01`);
      await shots(config, shot, 'snmpv3-v3only-confirm');
      await ask.getByRole('button', { name: 'Cancel' }).click();
      await expect(ask).toHaveCount(0);
      await expect(section).toContainText('v3-only mode is off.');
      expect(fs.readFileSync(CONF, 'utf8')).not.toContain('v3-only on');
      await section.getByRole('button', { name: 'Turn v3-only on' }).click();
      await ask.getByRole('button', { name: 'Turn v3-only on' }).click();
      await expect(section.getByRole('status')).toContainText('SNMPv3-only polling on.');
      await expect(config.locator('#orla-v3only-notice')).toContainText('not used in v3-only mode');
      expect(fs.readFileSync(CONF, 'utf8')).toContain('v3-only on');
      await shots(config, shot, 'snmpv3-configuration-v3only');
      await config.close();

      await gotoSettled(admin, '/KOR/');
      await expect(admin.locator('#orla-v3only-notice')).toHaveText(
        'v3-only mode is on: an address without an SNMPv3 profile is not polled.');
      // The list's load asks no device without a profile: each keeps its
      // last status, stale, with the reason; none is counted as OK.
      const tc01 = rowOf(elements, 'tc01');
      await expect(tc01).toHaveClass(/row-stale/);
      await expect(tc01).toHaveClass(/status-ok/);
      await expect(tc01.locator('.status-reason')).toHaveText('No SNMPv3 profile (v3-only)');
      await expect(rowOf(elements, 'tc03')).toHaveClass(/status-failed/);
      const chip = (status) => admin.locator(`.chip-${status} .count`);
      await expect(chip('stale')).toHaveText(String(await elements.locator('tr.row-stale').count()));
      await expect(chip('ok')).toHaveText(String(await elements.locator('tr.status-ok:not(.row-stale)').count()));
      await expect(chip('failed')).not.toHaveText('0');
      await shots(admin, shot, 'snmpv3-root-v3only');
      const add = await openFromMenu(admin, elements, 'Add…');
      await expect(add.locator('#orla-v3only-notice')).toHaveText(
        'v3-only mode is on: an address without an SNMPv3 profile is not polled.');
      await shots(add, shot, 'snmpv3-add-v3only');
      await add.close();
      await gotoSettled(admin, '/KOR/notification_targets.html');
      await expect(admin.locator('#v3_only_notice')).toContainText('targets with a community (SNMPv2c) are not used');
      await shots(admin, shot, 'snmpv3-targets-v3only');

      // Off again from the profiles page: the same setting; on again there
      // asks first too.
      await admin.goto('/KOR/snmpv3_profiles.html');
      await expect(admin.locator('#v3_only_state')).toContainText('v3-only mode is on');
      await admin.getByRole('button', { name: 'Turn v3-only off' }).click();
      await expect(admin.getByRole('status')).toContainText('SNMPv3-only polling off.');
      expect(fs.readFileSync(CONF, 'utf8')).toContain('v3-only off');
      await admin.getByRole('button', { name: 'Turn v3-only on' }).click();
      const askHere = admin.getByRole('dialog', { name: 'Turn v3-only on?' });
      await expect(askHere).toContainText('would stop being polled');
      await askHere.getByRole('button', { name: 'Cancel' }).click();
      await expect(admin.locator('#v3_only_state')).toContainText('v3-only mode is off');
      expect(fs.readFileSync(CONF, 'utf8')).toContain('v3-only off');
      // The devices polled with their community answer again (the scenarios after this one read them).
      await expect(async () => {
        await admin.goto('/KOR/');
        await expect(rowOf(elements, 'tc01')).toHaveClass(/status-ok/, { timeout: 5_000 });
        await expect(rowOf(elements, 'tc01')).not.toHaveClass(/row-stale/, { timeout: 5_000 });
      }).toPass({ timeout: 120_000 });
      await expect(admin.locator('#orla-v3only-notice')).toHaveCount(0);
    });
});
