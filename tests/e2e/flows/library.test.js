// A tape library's device page as people reach it: the console lists lib02
// (a drive that needs cleaning), a click on its name opens the library
// page in a window named after its address, and the page shows the
// library's status with its reason, the drive table and the slots, and
// offers an administrator to have the library send its traps here; a
// TapeAlert the library sends reaches the events page within 5 s, naming
// the library. The shared agent does not manage the libraries: the flow
// adds lib02 through the Add dialog and removes it again (when another
// flow has it managed already, it is left as it was). The simulated
// libraries' trap destination table names the agent's trap port
// (run.sh starts the simulator with --trap-port), so the add asks nothing.
const { AxeBuilder } = require('@axe-core/playwright');
const { test, expect: fastExpect, manage, rowOf } = require('../fixtures');

// A library page costs a few hundred SNMP requests: on a busy machine it
// can take several seconds.
const expect = fastExpect.configure({ timeout: 30_000 });
test.describe.configure({ timeout: 180_000 });

test('the console lists a tape library whose device page shows its drives and slots',
  async ({ admin, elements, sim, shot }) => {
    const address = sim.address('lib02');
    const release = await manage(admin, elements, sim, 'lib02');
    try {
      const row = rowOf(elements, 'lib02');
      await expect(row).toHaveCount(1, { timeout: 10_000 });
      await expect(async () => {
        await admin.reload();
        await expect(rowOf(elements, 'lib02').locator('img.status-icon')).toHaveAttribute('alt', 'Degraded',
                                                                                           { timeout: 2_000 });
      }).toPass({ timeout: 90_000 });

      const link = elements.getByRole('link', { name: 'lib02', exact: true });
      const [device] = await Promise.all([admin.waitForEvent('popup'), link.click()]);
      await device.waitForLoadState();
      expect(await device.evaluate(() => window.name)).toBe(address);
      await expect(device).toHaveURL(new RegExp(`/KOR/WebAgent/Library/index\\.html\\?addr=${address.replace(/\./g, '\\.')}`));
      await expect(device.locator('td.header')).toContainText(address);
      await expect(device.locator('.status-reason')).toHaveText('Drive 2 (QUILLANE ULT3580-TD8 10450002) needs cleaning');

      const table = (title) => device.locator('div.head2', { hasText: new RegExp(`^${title}$`) })
        .locator('xpath=following-sibling::div[1]//table');
      const drive2 = table('Drives').locator('tr', { hasText: 'QUILLANE ULT3580-TD8 10450002' });
      await expect(drive2).toContainText('yes');
      await expect(drive2).toContainText('2100005007630F02');
      const slots = table('Slots').locator('tr', { has: device.locator('td', { hasText: /^slot$/ }) });
      await expect(slots.locator('td')).toHaveText(['slot', '40', '32', '8', '80 %']);
      await expect(device.locator('body')).toContainText('CLN039L1');
      // An administrator may have the library send its traps here; the
      // question is the library's, not the tape controller's, and true: the
      // simulated library's trap destinations name the agent already.
      const action = device.locator('#orla-trap-target-action a');
      await expect(action).toBeVisible();
      const [question] = await Promise.all([device.waitForEvent('popup'), action.click()]);
      await expect(question.locator('div.head2')).toHaveText('lib02');
      await expect(question.locator('body')).toContainText('The tape library already sends its SNMP traps');
      await expect(question.locator('body')).not.toContainText('not currently configured');
      await expect(question.locator('body')).not.toContainText('reboot');
      await question.setViewportSize({ width: 1280, height: 800 });
      await shot(question, 'trap-target-library-wide');
      await question.setViewportSize({ width: 390, height: 844 });
      await shot(question, 'trap-target-library-narrow');
      await question.close();
      const { violations } = await new AxeBuilder({ page: device }).analyze();
      expect(violations.filter((v) => v.impact === 'critical' || v.impact === 'serious')
        .map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(', ')}`)).toEqual([]);

      await device.setViewportSize({ width: 1280, height: 800 });
      await shot(device, 'library-wide');
      await shot(device, 'library-wide-full', { fullPage: true });
      await device.setViewportSize({ width: 390, height: 844 });
      await shot(device, 'library-narrow');
      await shot(device, 'library-narrow-full', { fullPage: true });
      // Nothing scrolls sideways on a phone: each drive is a card of labelled lines.
      expect(await device.evaluate(() => document.documentElement.scrollWidth)).toBeLessThanOrEqual(390);
      await expect(drive2.locator('td[data-label="Serial number"]')).toHaveText('10450002');
      await device.close();
    } finally {
      await release();
    }
  });

test('a TapeAlert from a library reaches the events page within 5 s, naming the library',
  async ({ admin, elements, sim, shot }) => {
    const address = sim.address('lib01');
    const release = await manage(admin, elements, sim, 'lib01');
    try {
      const events = await admin.context().newPage();
      await events.goto('/KOR/events.html');
      await expect(events.locator('#events-bar .updated')).toContainText('Updated');
      // The drive's serial number comes from the library's first poll.
      await expect(async () => {
        await admin.reload();
        await expect(rowOf(elements, 'lib01').locator('img.status-icon')).toHaveAttribute('alt', 'OK',
                                                                                           { timeout: 2_000 });
      }).toPass({ timeout: 90_000 });
      sim.ctl('libtrap lib01 drive-alert --drive 3');
      const sent = Date.now();
      const text = `lib01 (${address}): TapeAlert from drive 3 (serial 10450003): clean now (severity degraded/warning).`;
      const row = events.locator('tr.event-row', { hasText: text }).first();
      await fastExpect(row).toBeVisible({ timeout: 5_000 });
      expect(Date.now() - sent).toBeLessThan(5_000);
      await expect(row.locator('.event-element')).toHaveText('lib01');
      await expect(row.locator('.event-severity')).toHaveText('Warning');
      await events.setViewportSize({ width: 1280, height: 800 });
      await shot(events, 'events-tapealert-wide');
      await events.setViewportSize({ width: 390, height: 844 });
      await shot(events, 'events-tapealert-narrow');
      await events.close();
    } finally {
      await release();
    }
  });
