// The alarms page: the simulated tc02 is degraded, so its alarm is there;
// an administrator (who may operate) takes it with a note, the page shows
// who owns it and the element list marks the row; then it is given back.
const { test, expect, rowOf } = require('../fixtures');

const NOTE = 'Fan ordered <b>today</b>';

test('an administrator acknowledges an alarm with a note and the console shows the owner',
  async ({ admin, elements, shot }) => {
    test.setTimeout(90_000);
    await expect(rowOf(elements, 'tc02')).toHaveClass(/status-degraded/, { timeout: 45_000 });
    await admin.goto('/KOR/alarms.html');
    const row = admin.locator('#alarm-table tr.alarm-row[data-alarm="tc02:status"]');
    await expect(row).toHaveClass(/state-raised/);
    await expect(row.locator('.severity-badge')).toHaveText('Warning');
    // Worst first: every critical alarm above the first warning.
    const severities = await admin.locator('#alarm-table tr.alarm-row .severity-badge').allInnerTexts();
    expect(severities.join(',')).toMatch(/^(Critical,)*(Warning,?)*$/);

    await row.getByRole('textbox', { name: 'Note on tc02:status' }).fill(NOTE);
    await row.getByRole('combobox', { name: 'For how long' }).selectOption('480');
    await row.getByRole('button', { name: 'Acknowledge tc02:status' }).click();
    await expect(admin.locator('#alarm-notice')).toHaveText('You acknowledged the alarm tc02:status.');
    await expect(row).toHaveClass(/state-acknowledged/);
    await expect(row.locator('.alarm-owner-name')).toHaveText('administrator');
    await expect(row.locator('.alarm-note')).toHaveText(NOTE);
    await expect(row.locator('td.alarm-owner')).toContainText('Until');
    await shot(admin, 'alarms-acknowledged');

    // The element list marks the row, with who; the Alarms link counts the rest.
    await admin.goto('/KOR/');
    const listed = rowOf(elements, 'tc02');
    await expect(listed).toHaveClass(/row-acknowledged/, { timeout: 15_000 });
    await expect(listed.locator('.ack-mark')).toHaveText('Acknowledged by administrator');
    await shot(admin, 'alarms-element-list');

    // Given back: raised again, and the list's mark goes.
    await admin.goto('/KOR/alarms.html');
    await row.getByRole('button', { name: 'Withdraw the acknowledgement of tc02:status' }).click();
    await expect(admin.locator('#alarm-notice')).toHaveText('You withdrew the acknowledgement of the alarm tc02:status.');
    await expect(row).toHaveClass(/state-raised/);
    await admin.goto('/KOR/');
    await expect(rowOf(elements, 'tc02')).not.toHaveClass(/row-acknowledged/, { timeout: 15_000 });
  });

// Planned work: the administrator puts tc02 in maintenance with the form;
// its alarm says so, at desktop and phone width; then the window is ended.
test('an element in maintenance shows it on its alarm until the window is ended',
  async ({ admin, elements, shot }) => {
    test.setTimeout(90_000);
    await expect(rowOf(elements, 'tc02')).toHaveClass(/status-degraded/, { timeout: 45_000 });
    await admin.goto('/KOR/alarms.html');
    const form = admin.locator('#maintenance-form');
    await form.getByRole('combobox', { name: 'Element' }).selectOption('tc02');
    await form.getByRole('spinbutton', { name: 'Minutes' }).fill('90');
    await form.getByRole('textbox', { name: 'Reason' }).fill('Drive <3> swap');
    await form.getByRole('button', { name: 'Set window' }).click();
    await expect(admin.locator('#alarm-notice')).toHaveText('You set a maintenance window for tc02.');
    const row = admin.locator('#alarm-table tr.alarm-row[data-alarm="tc02:status"]');
    await expect(row).toHaveClass(/state-maintenance/);
    await expect(row.locator('td.alarm-owner')).toContainText('In maintenance');
    await expect(row.locator('.alarm-note')).toHaveText('Drive <3> swap');
    const planned = admin.locator('#maintenance-table tr.maintenance-row[data-element="tc02"]');
    await expect(planned).toContainText('administrator');
    await shot(admin, 'alarms-maintenance-wide');
    await admin.setViewportSize({ width: 390, height: 844 });
    await shot(admin, 'alarms-maintenance-narrow');
    await admin.setViewportSize({ width: 1280, height: 800 });
    // The element list marks the row.
    await admin.goto('/KOR/');
    await expect(rowOf(elements, 'tc02').locator('.ack-mark')).toHaveText('In maintenance', { timeout: 15_000 });
    await admin.goto('/KOR/alarms.html');

    await planned.getByRole('button', { name: 'End the maintenance window of tc02' }).click();
    await expect(admin.locator('#alarm-notice')).toHaveText('You ended the maintenance window of tc02.');
    await expect(row).toHaveClass(/state-raised/);
    await expect(admin.locator('#maintenance-table tr.maintenance-row')).toHaveCount(0);
  });
