// A tape library's device page as people reach it: the console lists lib02
// (a drive that needs cleaning), a click on its name opens the library
// page in a window named after its address, and the page shows the
// library's status with its reason, the drive table and the slots. The
// shared agent does not manage the libraries: the flow adds lib02 through
// the Add dialog and removes it again (when another flow has it managed
// already, it is left as it was).
const { AxeBuilder } = require('@axe-core/playwright');
const { test, expect: fastExpect, openFromMenu, rowOf } = require('../fixtures');

// A library page costs a few hundred SNMP requests: on a busy machine it
// can take several seconds.
const expect = fastExpect.configure({ timeout: 30_000 });
test.describe.configure({ timeout: 180_000 });

test('the console lists a tape library whose device page shows its drives and slots',
  async ({ admin, elements, sim, shot }) => {
    const address = sim.address('lib02');
    const added = (await rowOf(elements, 'lib02').count()) === 0;
    if (added) {
      const add = await openFromMenu(admin, elements, 'Add…');
      await add.locator('input[name=element_address]').fill(address);
      await add.locator('input[name=element_name]').fill('lib02');
      await add.getByRole('button', { name: 'Add' }).click();
      // It does not send its traps here: the question comes, the library is managed.
      await expect(add.locator('div.head2')).toHaveText('lib02');
      await add.close();
    }
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
      const { violations } = await new AxeBuilder({ page: device }).analyze();
      expect(violations.filter((v) => v.impact === 'critical' || v.impact === 'serious')
        .map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(', ')}`)).toEqual([]);

      await device.setViewportSize({ width: 1280, height: 800 });
      await shot(device, 'library-wide');
      await shot(device, 'library-wide-full', { fullPage: true });
      await device.setViewportSize({ width: 390, height: 844 });
      await shot(device, 'library-narrow');
      // Nothing but the tables' own frames scrolls sideways on a phone.
      expect(await device.evaluate(() => document.documentElement.scrollWidth)).toBeLessThanOrEqual(390);
      await device.close();
    } finally {
      if (added) {
        const remove = await openFromMenu(admin, elements, 'Remove…');
        await remove.locator('select[name=element_name]').selectOption('lib02');
        await remove.getByRole('button', { name: 'Remove' }).click();
        await remove.getByRole('dialog').getByRole('button', { name: 'Remove lib02' }).click();
        await expect(remove.locator('body')).toContainText('The tape controller has been removed.');
        await remove.close();
      }
    }
  });
